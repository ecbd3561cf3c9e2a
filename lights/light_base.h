// Every light source of the scene. The scene owns its lights and deletes them through this base.
#pragma once

namespace glintor {

class LightBase {
public:
    virtual ~LightBase() = default;
};

}  // namespace glintor
