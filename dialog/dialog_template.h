#pragma once
// The main dialog's controls as the template lays them out: identifier, kind, caption,
// position in dialog units, text alignment and the name a screen reader announces. The order
// is the tab order. Nothing here knows a widget.

#include <cstdint>
#include <span>

namespace brimlo::app {

// Identifiers of the controls that handlers and tests address.
enum ControlId : int {
    kNoId = 0,
    kIdOk = 1,
    kIdDeviceInfo = 1001,
    kIdWrite = 1003,
    kIdRegisterAddress = 1004,
    kIdRegisterValue = 1005,
    kIdRead = 1006,
    kIdBurnFile = 1007,
    kIdBurnFileBrowse = 1008,
    kIdProgress = 1009,
    kIdStatus = 1010,
    kIdProgressCount = 1011,
    kIdProgressTotal = 1012,
    kIdDumpFile = 1013,
    kIdGetId = 1014,
    kIdDumpFileBrowse = 1015,
    kIdBurn = 1016,
    kIdDump = 1017,
    kIdDeviceName = 1018,
    kIdPageSize = 1019,
    kIdSectorSize = 1020,
    kIdTotalBlock = 1021,
    kIdIicAddress = 1022,
    kIdIicReturnCode = 1023,
    kIdIicData = 1024,
    kIdVendorId = 1025,
    kIdProductId = 1026,
    kIdOpenDevice = 1027,
    kIdDeviceId = 1028,
    kIdPagesPerSector = 1029,
    kIdSectorsPerBlock = 1030,
    kIdTotalSize = 1031,
    kIdEntireFlash = 1032,
    kIdOtherArea = 1033,
    kIdAreaFirmware = 1034,
    kIdAreaPrivateData = 1035,
    kIdAreaCustomizedData = 1036,
    kIdHexVersion = 1040,
    kIdFirmwareVersion = 1041,
    kIdGetFwVersion = 1042,
    kIdGetHdmiInfo = 1043,
    kIdRegister = 1044,
    kIdIic = 1045,
    kIdGpio = 1046,
    kIdGpioNumber = 1048,
    kIdGpioDirection = 1049,
    kIdGpioValue = 1050,
    kIdSetGpio = 1051,
    kIdHdmiInfo = 1052,
};

enum class ControlKind {
    GroupBox,
    Label,          // static text
    HexEntry,       // the hexadecimal entry field
    Entry,          // plain entry field
    ReadOnlyEntry,  // plain entry field the user cannot change
    PushButton,
    DefaultPushButton,
    RadioButton,
    CheckBox,
    ComboBox,  // drop-down with an editable text part
    ProgressBar,
};

enum class TextAlign { Left, Centre, Right };

// x, y, width, height in dialog units.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* caption;  // as in the template: "&&" shows one "&"
    DialogRect rect;
    TextAlign align;
    const char* accessibleName;  // the caption without mnemonics, or the control's role
};

struct DialogTemplate {
    const char* title;
    int width;  // dialog units
    int height;
    std::span<const ControlTemplate> controls;
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

// A combo box's template height includes its dropped-down list; closed it is this tall.
inline constexpr int kClosedComboHeight = 12;

}  // namespace brimlo::app
