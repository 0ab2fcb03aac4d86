// Error codes of the media control interface. mciGetErrorString turns each into a clear English
// text; only an alias that is already open gives a text beginning "The spe" (callers test for it).
#pragma once

#include "platform/mci/Mci.h"

namespace brisko::mci {

enum MciErrorCode : MciError {
    kOk = 0,
    kErrEmptyCommand = 257,
    kErrUnknownCommand,
    kErrMissingDevice,
    kErrNotOpen,
    kErrAliasInUse,
    kErrUnknownDeviceType,
    kErrNeedsElement,
    kErrFileNotFound,
    kErrNotAFile,
    kErrCannotReadFile,
    kErrCannotPlayFile,
    kErrUnknownKeyword,
    kErrMissingParameter,
    kErrBadNumber,
    kErrOutOfRange,
    kErrBadQuote,
    kErrTooManyWords,
    kErrUnknownStatusItem,
    kErrUnknownTimeFormat,
    kErrUnsupportedTimeFormat,
    kErrUnsupportedCommand,
    kErrAllNotAllowed,
    kErrReservedAlias,
    kErrLengthUnknown,
    kErrNoMedia,
    kErrDeviceNotReady,
    kErrDeviceFailed,
    kErrInternal,
    kErrNoCueOutput,
    kErrLast = kErrNoCueOutput,
};

}  // namespace brisko::mci
