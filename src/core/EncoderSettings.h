#pragma once

#include "audio/Mp3EncoderOptions.h"
#include "core/Settings.h"

namespace fr {

// Hands the MP3 fields of the settings to the encoder: bit rate, maximum bit rate, sample
// rate, variable bit rate with its header, stereo or mono. A field outside its range leaves
// that option as it was.
void applyEncoderSettings(const Settings& settings, Mp3EncoderOptions& encoder);

} // namespace fr
