#include "tests/support/small_scene.h"

#include <fstream>
#include <sstream>

namespace glintor::testing {

std::string SmallSceneText(const std::string& savedImage, int threads, int samples) {
    std::ostringstream text;
    text << R"(<Glintor>
  <Scene>
    <Threading><Threads>)"
         << threads << R"(</Threads><PixelBlockSize>16</PixelBlockSize></Threading>
    <Render><SavedImage>)"
         << savedImage << "</SavedImage><Samples>" << samples << R"(</Samples>
      <MaxDepth>3</MaxDepth></Render>
    <Camera><Pos x="0" y="1" z="-4"/><LookAt x="0" y="0.5" z="0"/><Up x="0" y="1" z="0"/>
      <FOV>50</FOV></Camera>
    <Film><Width>128</Width><Height>128</Height><Gamma>2.2</Gamma></Film>
  </Scene>
  <Materials><Material Type="MATTE"><Diffuse r="0.7" g="0.6" b="0.5"/></Material></Materials>
  <Objects>
    <Object Type="Plane"><Normal x="0" y="1" z="0"/><Dist>0</Dist></Object>
    <Object Type="Sphere"><Center x="0" y="0.5" z="0"/><Radius>0.5</Radius></Object>
  </Objects>
  <Lights><Light Type="Point"><Pos x="1" y="3" z="-2"/><Color r="9" g="9" b="9"/></Light></Lights>
</Glintor>)";
    return text.str();
}

std::string LastLogRow(const std::string& logPath) {
    std::ifstream log(logPath);
    std::string line, last;
    while (std::getline(log, line)) {
        last = line;
    }
    return last.rfind("v0.", 0) == 0 ? last : std::string();
}

std::string LogField(const std::string& row, size_t column, size_t width) {
    if (column >= row.size()) {
        return std::string();
    }
    const std::string field = row.substr(column, width);
    const size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

}  // namespace glintor::testing
