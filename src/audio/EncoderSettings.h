#pragma once

#include "audio/TLameCoder.h"
#include "core/Settings.h"

namespace fr {

// Hands the MP3 fields of the settings to the encoder: bit rate, maximum bit rate, variable
// bit rate with its header, and the MP3's own sample rate and channel mode (the PCM that
// comes in keeps the ripper's format, so the MP3 is resampled and mixed to them, never
// declared as something it is not). A field outside its range leaves that value as it was.
void applyEncoderSettings(const Settings& settings, TLameCoder& encoder);

} // namespace fr
