#pragma once

#include <cstdint>

#include "foundation/ErrorReport.h"

class ResourceManager;

// Base of every object whose shared resource is counted in a ResourceManager (scene
// objects, surfaces, textures): the entry's id (-1: not registered) and the manager.
class DXC_ResourceBase : public DXC_Base {
public:
    int32_t GetResourceId() const { return resourceId; }
    ResourceManager* GetResourceManager() const { return resourceManager; }
    void SetResource(ResourceManager* manager, int32_t id) {
        resourceManager = manager;
        resourceId = id;
    }

protected:
    int32_t resourceId = -1;
    ResourceManager* resourceManager = nullptr;
};
