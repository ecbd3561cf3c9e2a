#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "app/program_entry.h"
#include "tests/support/small_scene.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

// argv as the program gets it; the strings live as long as the object.
class Arguments {
public:
    Arguments(std::initializer_list<const char*> words) : storage_(words.begin(), words.end()) {
        for (std::string& word : storage_) {
            pointers_.push_back(word.data());
        }
        pointers_.push_back(nullptr);
    }
    int Count() const { return static_cast<int>(storage_.size()); }
    char** Vector() { return pointers_.data(); }

private:
    std::vector<std::string> storage_;
    std::vector<char*> pointers_;
};

ParsedCommandLine Parse(std::initializer_list<const char*> words) {
    Arguments arguments(words);
    return ParseCommandLine(arguments.Count(), arguments.Vector());
}

TEST(CommandLine, EveryOptionLongOrShortBeforeOrAfterTheScene) {
    const ParsedCommandLine all = Parse(
        {"glintor", "-o", "a.png", "--spp", "9", "scene.xml", "--threads=2", "--size", "320x240",
         "--depth", "4", "--no-window", "-q", "--output=b.EXR", "-t", "3", "-oc.pfm",
         "--sampling=low-noise", "--seed", "2147483647"});
    ASSERT_EQ(all.action, CommandLineAction::Render) << all.message;
    const CommandLine& o = all.options;
    EXPECT_EQ(o.sceneFile, "scene.xml");
    EXPECT_EQ(o.outputs, (std::vector<std::string>{"a.png", "b.EXR", "c.pfm"}));
    EXPECT_EQ(o.samples, 9);
    EXPECT_EQ(o.threads, 3);  // the last one counts
    ASSERT_TRUE(o.size.has_value());
    EXPECT_EQ(o.size->width, 320);
    EXPECT_EQ(o.size->height, 240);
    EXPECT_EQ(o.maxDepth, 4);
    EXPECT_TRUE(o.noWindow);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.sampling, SamplingMode::LowNoise);
    EXPECT_EQ(o.seed, 2147483647u);

    const ParsedCommandLine bare = Parse({"glintor", "scene.xml"});
    EXPECT_EQ(bare.action, CommandLineAction::Render);
    EXPECT_FALSE(bare.options.samples || bare.options.threads || bare.options.size ||
                 bare.options.maxDepth || bare.options.noWindow || bare.options.quiet ||
                 !bare.options.outputs.empty() || bare.options.sampling || bare.options.seed);
    // The ends of each range are allowed, 0 threads meaning one per processor.
    const ParsedCommandLine edges =
        Parse({"glintor", "-s10000", "-t0", "--size=2048x128", "--depth=128", "s.xml", "--spp=1",
               "--sampling", "design", "--seed=0"});
    ASSERT_EQ(edges.action, CommandLineAction::Render) << edges.message;
    EXPECT_EQ(edges.options.samples, 1);
    EXPECT_EQ(edges.options.threads, 0);
    EXPECT_EQ(edges.options.size->width, 2048);
    EXPECT_EQ(edges.options.maxDepth, 128);
    EXPECT_EQ(edges.options.sampling, SamplingMode::Design);
    EXPECT_EQ(edges.options.seed, 0u);

    EXPECT_EQ(Parse({"glintor"}).action, CommandLineAction::ShowUsage);
    EXPECT_EQ(Parse({"glintor", "s.xml", "-h", "--bogus"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(Parse({"glintor", "--help"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(Parse({"glintor", "--version"}).action, CommandLineAction::ShowVersion);
}

TEST(CommandLine, RefusalsNameTheOptionAndTheValue) {
    struct Case {
        std::initializer_list<const char*> words;
        const char* message;
    };
    const Case cases[] = {
        {{"glintor", "--bogus", "s.xml"}, "unknown option '--bogus'"},
        {{"glintor", "s.xml", "-x"}, "unknown option '-x'"},
        {{"glintor", "--no-window", "-xq", "s.xml"}, "unknown option '-x'"},
        {{"glintor", "-qz", "s.xml"}, "unknown option '-z'"},
        {{"glintor", "a.xml", "-q", "b.xml"},
         "only one scene file may be given, not 'a.xml' and 'b.xml'"},
        {{"glintor", "--no-window=yes", "s.xml"}, "option '--no-window' takes no value"},
        {{"glintor", "s.xml", "--spp"}, "option '--spp' needs a value"},
        {{"glintor", "s.xml", "-o"}, "option '--output' needs a value"},
        {{"glintor", "-s", "0", "s.xml"}, "--spp needs a whole number from 1 to 10000, not '0'"},
        {{"glintor", "-s", "10001", "s.xml"},
         "--spp needs a whole number from 1 to 10000, not '10001'"},
        {{"glintor", "-s", "8x", "s.xml"}, "--spp needs a whole number from 1 to 10000, not '8x'"},
        {{"glintor", "-s", "-3", "s.xml"}, "--spp needs a whole number from 1 to 10000, not '-3'"},
        {{"glintor", "-s", "99999999999", "s.xml"},
         "--spp needs a whole number from 1 to 10000, not '99999999999'"},
        {{"glintor", "-t", "33", "s.xml"}, "--threads needs a whole number from 0 to 32, not '33'"},
        {{"glintor", "--depth", "0", "s.xml"},
         "--depth needs a whole number from 1 to 128, not '0'"},
        {{"glintor", "--depth", "129", "s.xml"},
         "--depth needs a whole number from 1 to 128, not '129'"},
        {{"glintor", "--size", "127x200", "s.xml"},
         "--size needs WIDTHxHEIGHT, each from 128 to 2048, not '127x200'"},
        {{"glintor", "--size", "640x2049", "s.xml"},
         "--size needs WIDTHxHEIGHT, each from 128 to 2048, not '640x2049'"},
        {{"glintor", "--size", "640", "s.xml"},
         "--size needs WIDTHxHEIGHT, each from 128 to 2048, not '640'"},
        {{"glintor", "-o", "a.jpg", "s.xml"},
         "--output needs a name ending in .png, .exr or .pfm, not 'a.jpg'"},
        {{"glintor", "-o", "a.exr/b", "s.xml"},
         "--output needs a name ending in .png, .exr or .pfm, not 'a.exr/b'"},
        {{"glintor", "--sampling", "fast", "s.xml"},
         "--sampling needs design or low-noise, not 'fast'"},
        {{"glintor", "--seed", "-1", "s.xml"},
         "--seed needs a whole number from 0 to 2147483647, not '-1'"},
        {{"glintor", "-q"}, "no scene file given"},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = Parse(c.words);
        EXPECT_EQ(parsed.action, CommandLineAction::Refuse) << c.message;
        EXPECT_EQ(parsed.message, c.message);
    }
}

class ProgramOptions : public ::testing::Test {
protected:
    void SetUp() override { home_ = fs::current_path(); }
    void TearDown() override { fs::current_path(home_); }

    int Run(std::initializer_list<const char*> words) {
        Arguments arguments(words);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = RunProgram(arguments.Count(), arguments.Vector());
        out_ = ::testing::internal::GetCapturedStdout();
        err_ = ::testing::internal::GetCapturedStderr();
        fs::current_path(home_);
        return status;
    }

    fs::path home_;
    std::string out_;
    std::string err_;
};

TEST_F(ProgramOptions, HelpVersionAndARefusalThatWritesNothing) {
    EXPECT_EQ(Run({"glintor", "--help"}), 0);
    EXPECT_EQ(out_.rfind("Usage: glintor SceneFile.xml\n", 0), 0u) << out_;
    for (const char* option : {"--output FILE", "--spp N", "--threads N", "--size WxH", "--depth N",
                               "--sampling design|low-noise", "--seed N", "--no-window", "--quiet",
                               "--help", "--version"}) {
        EXPECT_NE(out_.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(Run({"glintor", "--version"}), 0);
    EXPECT_EQ(out_, "Glintor v0.4.409 by Quarnel\n");

    const std::string folder = testing::ScratchFolder("options_refused");
    const std::string scene =
        testing::WriteFile(folder + "/scene.xml", testing::SmallSceneText("refused.png"));
    EXPECT_EQ(Run({"glintor", scene.c_str(), "--spp", "0", "-o", (folder + "/x.png").c_str()}), 2);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_,
              "glintor: --spp needs a whole number from 1 to 10000, not '0'\n"
              "Usage: glintor SceneFile.xml\n"
              "Try 'glintor --help' for the options.\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ProgramOptions, OverridesReachThePictureTheLogAndTheConsole) {
    const std::string folder = testing::ScratchFolder("options_render");
    fs::create_directory(folder + "/scenes");
    const std::string scene = testing::WriteFile(folder + "/scenes/scene.xml",
                                                 testing::SmallSceneText("scene.png", 2, 2));
    // Output names are taken from where the program starts, not from the scene's folder.
    fs::current_path(folder);
    home_ = fs::current_path();
    EXPECT_EQ(Run({"glintor",          "--no-window", "-q",        "-o",     "linear.exr",
                   "scenes/scene.xml", "-s",          "3",         "-t",     "1",
                   "--size",           "160x128",     "--depth",   "2",      "--output",
                   "tone.png",         "--sampling",  "low-noise", "--seed", "11"}),
              0);
    for (const char* line :
         {"\nCommand line: Samples = 3\n", "\nCommand line: Threads = 1\n",
          "\nCommand line: Size = 160x128\n", "\nCommand line: MaxDepth = 2\n",
          "\nCommand line: Sampling = low-noise\n", "\nCommand line: Seed = 11\n",
          "Rendering Threads = 1\n", "\nSaved\n"}) {
        const size_t at = out_.find(line);
        EXPECT_NE(at, std::string::npos) << line << " in\n" << out_;
        EXPECT_EQ(out_.find(line, at + 1), std::string::npos) << line;
    }
    EXPECT_EQ(err_.find("Rendering"), std::string::npos) << err_;
    EXPECT_TRUE(fs::exists(folder + "/linear.exr"));
    EXPECT_TRUE(fs::exists(folder + "/tone.png"));
    EXPECT_FALSE(fs::exists(folder + "/scenes/scene.png"));
    EXPECT_FALSE(fs::exists(folder + "/tone.png.txt"));

    const std::string row = testing::LastLogRow(folder + "/linear.exr.txt");
    EXPECT_EQ(testing::LogField(row, 26, 10), "3.00") << row;
    EXPECT_EQ(testing::LogField(row, 57, 6), "3x1") << row;
    EXPECT_EQ(testing::LogField(row, 65, 6), "2") << row;
    EXPECT_EQ(testing::LogField(row, 96, 10), "160x128") << row;
    EXPECT_EQ(testing::LogField(row, 107, 6), "1") << row;
}

TEST_F(ProgramOptions, OutputsAreCheckedBeforeAnythingIsLoaded) {
    const std::string folder = testing::ScratchFolder("options_checked");
    const std::string scene =
        testing::WriteFile(folder + "/scene.xml", testing::SmallSceneText("scene.png"));
    testing::WriteFile(folder + "/file", "");
    fs::create_directory(folder + "/taken.png");
    const std::string good = folder + "/good.png";
    const std::string longest = folder + "/" + std::string(248, 'n') + ".png";  // 252 bytes
    struct Case {
        std::string output;
        std::string reason;
    };
    const Case cases[] = {
        {"/nonexistent/dir/frame.exr", "'/nonexistent/dir/frame.exr': No such file or directory"},
        {folder + "/file/x.pfm", "'" + folder + "/file/x.pfm': Not a directory"},
        {folder + "/taken.png", "'" + folder + "/taken.png': Is a directory"},
        // The picture's name fits, the log's beside it does not.
        {longest, "'" + longest + ".txt': File name too long"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run({"glintor", "--no-window", "-o", c.output.c_str(), "-o", good.c_str(),
                       scene.c_str()}),
                  2);
        EXPECT_EQ(out_, "") << c.output;
        EXPECT_EQ(err_, "glintor: cannot write " + c.reason + "\n");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
    // Only the first output has a log (one that exists is appended to), and a name that fills
    // its folder entry is saved.
    testing::WriteFile(good + ".txt", "");
    EXPECT_EQ(Run({"glintor", "--no-window", "-q", "-t", "1", "-o", good.c_str(), "-o",
                   longest.c_str(), scene.c_str()}),
              0);
    EXPECT_NE(out_.find("\nSaved\n"), std::string::npos) << err_;
    EXPECT_TRUE(fs::exists(longest));
    EXPECT_TRUE(fs::exists(good + ".txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 6);

    // A relative name with no current folder to resolve it against.
    fs::create_directory(folder + "/gone");
    fs::current_path(folder + "/gone");
    fs::remove(folder + "/gone");
    EXPECT_EQ(Run({"glintor", "-o", "x.png", scene.c_str()}), 2);
    EXPECT_EQ(err_, "glintor: cannot write 'x.png': No such file or directory\n");
}

}  // namespace
}  // namespace glintor
