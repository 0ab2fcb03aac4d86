// The "mpegvideo" device: plays a sound file (anything the engine decodes) on one engine voice.
// Positions are milliseconds of media time; "frames" are milliseconds as well.
#pragma once

#include <memory>

#include "platform/mci/Device.h"

namespace brisko::mci {

std::unique_ptr<Device> openMpegVideoDevice(const OpenRequest& request, MciError* error);

}  // namespace brisko::mci
