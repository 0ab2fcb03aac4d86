// The "cdaudio" device: plays an audio CD (a drive or a disc image of libcdrip) through the
// engine. Time formats "tmsf", "msf" and "milliseconds"; the disc is watched on a thread of its
// own, so that no command waits for the drive. "open cdaudio" plays libcdrip's first drive;
// "open N type cdaudio" plays drive N (1-based, in the order of CR_GetNumCDROM's list).
#pragma once

#include <memory>

#include "platform/mci/Device.h"

namespace brisko::mci {

std::unique_ptr<Device> openCdAudioDevice(const OpenRequest& request, MciError* error);

}  // namespace brisko::mci
