// Collects the scene description's messages instead of printing them and opening message boxes,
// for as long as it lives.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "scene/value_readers.h"

namespace glintor::testing {

class CollectedMessages {
public:
    CollectedMessages()
        : previous_(
              SetSceneMessageSink([this](const std::string& text) { texts.push_back(text); })) {}
    ~CollectedMessages() { SetSceneMessageSink(std::move(previous_)); }
    CollectedMessages(const CollectedMessages&) = delete;
    CollectedMessages& operator=(const CollectedMessages&) = delete;

    std::vector<std::string> texts;

private:
    SceneMessageSink previous_;
};

inline std::string Warning(const std::string& value, const std::string& label) {
    return "WARNING: The Value of " + value + " is not valid for " + label;
}

}  // namespace glintor::testing
