#include "scene/value_readers.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/platform.h"

namespace glintor {

namespace {

void ShowSceneMessage(const std::string& text) {
    std::printf("%s\n", text.c_str());
    ShowMessageBox("XML Parsing error", text);
}

SceneMessageSink& MessageSink() {
    static SceneMessageSink sink;
    return sink;
}

// atof answers a double, and narrowing one beyond the float range is undefined, so such a value
// becomes the infinity of its sign explicitly.
float ParseFloat(const char* text) {
    const double value = std::atof(text);
    if (value > FLT_MAX) {
        return INFINITY;
    }
    if (value < -FLT_MAX) {
        return -INFINITY;
    }
    return static_cast<float>(value);
}

// An absent attribute or a NotANumber one gives 0 and a warning naming the element as the caller
// asked for it, not the attribute's text.
float ReadComponent(const XmlNode& element, const char* name, const char* attribute,
                    const char* label) {
    const char* text = element.GetAttribute(attribute);
    if (ClassifyNumber(text) == NumberForm::NotANumber) {
        ReportSceneError(name, label);
        return 0.0f;
    }
    return ParseFloat(text);
}

Vector3 ReadTriple(const XmlNode& parent, const char* name, const char* label,
                   const char* const (&attributes)[3]) {
    const XmlNode element = parent.GetChild(name);
    if (!element) {
        return {};
    }
    Vector3 result;
    for (int i = 0; i < 3; ++i) {
        result[i] = ReadComponent(element, name, attributes[i], label);
    }
    return result;
}

}  // namespace

NumberForm ClassifyNumber(const char* text) {
    if (text == nullptr) {
        return NumberForm::NotANumber;
    }
    const char* c = text;
    if (*c == '-') {
        ++c;
    }
    // Nothing left to scan, as in "" or a lone "-", is no number.
    if (*c == '\0' || *c == 'e') {
        return NumberForm::NotANumber;
    }
    int points = 0;
    for (; *c != '\0'; ++c) {
        if (std::isdigit(static_cast<unsigned char>(*c))) {
            continue;
        }
        if (*c == '.') {
            if (c[1] == '\0') {
                return NumberForm::NotANumber;
            }
            ++points;
        } else if (*c == 'e') {
            if (c[1] == '\0') {
                return NumberForm::NotANumber;
            }
            // A negative exponent makes even "1e-5" a fraction.
            if (c[1] == '-' && c[2] != '\0') {
                ++c;
                if (points < 1) {
                    points = 1;
                }
            }
        } else {
            return NumberForm::NotANumber;
        }
    }
    if (points == 0) {
        return NumberForm::IntegerForm;
    }
    return points == 1 ? NumberForm::RealForm : NumberForm::NotANumber;
}

int32_t ReadInt(const char* text, const char* label, int32_t min, int32_t max,
                int32_t defaultValue) {
    if (text == nullptr || *text == '\0') {
        return defaultValue;
    }
    if (ClassifyNumber(text) != NumberForm::IntegerForm) {
        ReportSceneError(text, label);
        return defaultValue;
    }
    // Reads the leading digits as atoi does, but saturates instead of overflowing, so an absurdly
    // long number is clamped like any other out-of-range value.
    const long long value = std::strtoll(text, nullptr, 10);
    if (value < min) {
        ReportSceneError(text, label);
        return min;
    }
    if (value > max) {
        ReportSceneError(text, label);
        return max;
    }
    return static_cast<int32_t>(value);
}

float ReadReal(const char* text, const char* label, float min, float max, float defaultValue) {
    if (text == nullptr || *text == '\0') {
        return defaultValue;
    }
    if (ClassifyNumber(text) == NumberForm::NotANumber) {
        ReportSceneError(text, label);
        return defaultValue;
    }
    const float value = ParseFloat(text);
    if (value < min) {
        ReportSceneError(text, label);
        return min;
    }
    if (value > max) {
        ReportSceneError(text, label);
        return max;
    }
    return value;
}

Vector3 ReadVector(const XmlNode& parent, const char* name, const char* label) {
    return ReadTriple(parent, name, label, {"x", "y", "z"});
}

Vector3 ReadColor(const XmlNode& parent, const char* name, const char* label) {
    return ReadTriple(parent, name, label, {"r", "g", "b"});
}

UvPair ReadPair(const XmlNode& parent, const char* name, const char* label) {
    const XmlNode element = parent.GetChild(name);
    if (!element) {
        return {};
    }
    UvPair result;
    result.u = ReadComponent(element, name, "u", label);
    result.v = ReadComponent(element, name, "v", label);
    return result;
}

Vector3 ReadRotation(const XmlNode& parent) {
    return ReadVector(parent, "Rotate", "<Light><Rotate>") * 0.017453292f;
}

void ReportSceneError(const char* value, const char* label) {
    if (label == nullptr) {
        return;
    }
    const std::string text = value != nullptr ? std::string("WARNING: The Value of ") + value +
                                                    " is not valid for " + label
                                              : std::string("ERROR: ") + label;
    const SceneMessageSink& sink = MessageSink();
    if (sink) {
        sink(text);
    } else {
        ShowSceneMessage(text);
    }
}

SceneMessageSink SetSceneMessageSink(SceneMessageSink sink) {
    return std::exchange(MessageSink(), std::move(sink));
}

}  // namespace glintor
