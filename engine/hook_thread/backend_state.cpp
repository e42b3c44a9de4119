#include "engine/hook_thread/backend_state.h"

namespace vorna::windows {

BackendState::BackendState()
{
    // Every queued batch starts as an empty one: each event one notch of 120.
    for (QueuedBatch& entry : output.entries) {
        for (core::OutputEvent& event : entry.batch.events)
            event = core::OutputEvent{0, core::kPhaseDown, core::kDefaultOutputAmount};
    }
    output.outputFunction = &SendInput;
}

void BackendState::loadLayers(const LayerProgram& program)
{
    layers = program;
    for (std::size_t i = 0; i < kProgramLayers; ++i)
        layerChains[i].build(layers.layers[i]);
}

} // namespace vorna::windows
