// The texts of the interface's error codes. Only an alias that is already open gives a text that
// begins "The spe"; callers (the clip file selector's preview) rely on that prefix alone.
#include "platform/mci/MciErrors.h"

namespace brisko::mci {

std::string mciGetErrorString(MciError code) {
    switch (code) {
        case kOk: return "The command completed successfully.";
        case kErrEmptyCommand: return "The command string is empty.";
        case kErrUnknownCommand:
            return "Unknown command: the first word is not a command this interface knows.";
        case kErrMissingDevice: return "The command names no device or alias.";
        case kErrNotOpen: return "No device is open under that alias.";
        case kErrAliasInUse:
            return "The specified alias is already open; close it first or choose another alias.";
        case kErrUnknownDeviceType: return "Unknown device type: no device of that type can be opened.";
        case kErrNeedsElement: return "This device type needs a file name to open.";
        case kErrFileNotFound: return "The file cannot be found; check its folder and name.";
        case kErrNotAFile: return "The name given is a folder or another kind of entry, not a file.";
        case kErrCannotReadFile: return "The file cannot be read; check its permissions.";
        case kErrCannotPlayFile:
            return "The file holds no sound that can be played, or its format is not supported.";
        case kErrUnknownKeyword: return "The command contains a word this command does not accept.";
        case kErrMissingParameter: return "A keyword is missing its value, or the command is incomplete.";
        case kErrBadNumber: return "A whole number was expected.";
        case kErrOutOfRange: return "A position or value is out of range for this device.";
        case kErrBadQuote: return "A quoted name has no closing quote.";
        case kErrTooManyWords: return "The command has too many words.";
        case kErrUnknownStatusItem: return "Unknown status item, or it is missing.";
        case kErrUnknownTimeFormat: return "Unknown time format.";
        case kErrUnsupportedTimeFormat: return "This device does not support that time format.";
        case kErrUnsupportedCommand: return "This device cannot carry out that command.";
        case kErrAllNotAllowed: return "This command cannot be sent to all devices at once.";
        case kErrReservedAlias: return "\"all\" names every device and cannot be used as an alias.";
        case kErrLengthUnknown: return "The length of this media is not known.";
        case kErrNoMedia: return "There is no media in the device.";
        case kErrDeviceNotReady: return "The device is not ready.";
        case kErrDeviceFailed: return "The device failed to carry out the command.";
        case kErrInternal: return "An unexpected internal error occurred.";
        case kErrNoCueOutput: return "No cue output is set: pre-listening needs one.";
        default: return "Unknown error code.";
    }
}

}  // namespace brisko::mci
