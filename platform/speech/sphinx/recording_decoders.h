#pragma once

#include "platform/speech/piecewise_decoding.h"
#include "platform/speech/sphinx/model_registry.h"
#include "platform/speech/sphinx/search_pace.h"

namespace voxquill {

// Makes the workers' decoders for the pieces of a recording: each piece is
// decoded afresh with the search `pace` chooses for it, so its words depend
// on the piece and that search alone, whichever worker has it. The model
// and the pace are borrowed: they must outlive every decoder made.
PieceDecoderMaker recordingDecoders(const LanguageModel& model, SearchPace& pace);

}  // namespace voxquill
