// Value readers shared by every section of the scene file, and the one routine through which the
// scene description reports problems.
//
// A malformed value never stops loading: the reader reports it as a warning and answers its
// default (integers and reals) or 0 for the component (vectors, colours, pairs). Numbers outside
// [min, max] are clamped to the nearer bound with the same warning. Labels name where a value
// belongs, such as "<Render><Samples>", and appear in the messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "formats/xml_node.h"
#include "math/vector.h"

namespace glintor {

enum class NumberForm { NotANumber, IntegerForm, RealForm };

// Decides how a value may be converted. Digits with at most one decimal point; an exponent 'e'
// must be followed by something, and a '-' right after it (with a digit after that) makes the
// value real. A leading '-' is allowed; '+' and spaces are not. "12" and "1e5" are IntegerForm,
// "1.5", "-.5" and "1e-5" RealForm, "5.", "1e+5", "1.2.3" and "" NotANumber.
NumberForm ClassifyNumber(const char* text);

// Absent or empty text gives `defaultValue` silently. Anything but IntegerForm gives the default
// with a warning; the conversion reads the leading digits only, so "1e5" is 1.
int32_t ReadInt(const char* text, const char* label, int32_t min, int32_t max,
                int32_t defaultValue);
// As ReadInt, but IntegerForm and RealForm are both accepted. The default is answered as given,
// even where it lies outside [min, max].
float ReadReal(const char* text, const char* label, float min, float max, float defaultValue);

// The first child `name` of parent, read from its attributes x, y, z (vector), r, g, b (colour) or
// u, v (pair). No child gives zeros silently. An absent or malformed attribute gives 0 for that
// component and a warning whose value is `name`. There is no range check.
Vector3 ReadVector(const XmlNode& parent, const char* name, const char* label);
Vector3 ReadColor(const XmlNode& parent, const char* name, const char* label);

struct UvPair {
    float u = 0.0f;
    float v = 0.0f;
};
UvPair ReadPair(const XmlNode& parent, const char* name, const char* label);

// The child "Rotate" as a vector of angles, written in degrees and answered in radians.
Vector3 ReadRotation(const XmlNode& parent);

// With a value: "WARNING: The Value of <value> is not valid for <label>"; without one:
// "ERROR: <label>". Without a label nothing happens. The text goes to the console and then to a
// message box titled "XML Parsing error"; the call returns once the box is acknowledged.
void ReportSceneError(const char* value, const char* label);

// Receives the finished text of every scene message. An empty function restores the console and
// message box; tests install one that collects the texts. Answers the sink it replaces.
using SceneMessageSink = std::function<void(const std::string& text)>;
SceneMessageSink SetSceneMessageSink(SceneMessageSink sink);

}  // namespace glintor
