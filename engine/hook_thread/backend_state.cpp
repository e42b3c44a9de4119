#include "engine/hook_thread/backend_state.h"

namespace vorna::windows {

BackendState::BackendState() = default;

void BackendState::loadLayers(const LayerProgram& program)
{
    layers = program;
    for (std::size_t i = 0; i < kProgramLayers; ++i)
        layerChains[i].build(layers.layers[i]);
}

} // namespace vorna::windows
