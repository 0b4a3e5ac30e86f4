#pragma once
// The fixed texts the configuration tool shows. Texts with arguments are formats for FormatStr;
// they are spelled out where they are used, so that the compiler checks them against their
// arguments.
namespace jvo::tool::text {

constexpr int kToolBuild = 26;

constexpr const char* kTitle = "JVO Config Tool";
constexpr const char* kAskExitStartup = "Do you want to exit?";
constexpr const char* kExtractFailed = "Failed to extract configuration from attached unit.";
constexpr const char* kSeriousExtractHead =
    "The configuration has the following serious errors:    \n\n";
constexpr const char* kSeriousExtractTail = "\nThe configuration has not been extracted.";
constexpr const char* kMinorHead =
    "The configuration has the following minor errors which can be corrected automatically:    "
    "\n\n";
constexpr const char* kMinorTail = "\n\nWould you like to correct them automatically?";
constexpr const char* kNotExtracted = "The configuration has not been extracted.";
constexpr const char* kAskReset =
    "Would you like to reset the JVO to the default configuration?\n\nWarning: The current "
    "configuration will be cleared and reset.";
constexpr const char* kCommitFailed = "Failed to commit the new configuration";
constexpr const char* kRestartFailed = "Failed to restart the unit";
constexpr const char* kInstallFailed = "Failed to install configuration to attached unit";
constexpr const char* kSeriousFileHead =
    "The configuration has the following serious errors which must be modified using the ZQT "
    "Configuration Tool:    \n\n";
constexpr const char* kAskExitWithoutSaving = "Are you sure you want to exit without saving?";
constexpr const char* kAskExit = "Are you sure you want to exit?";
constexpr const char* kSelectComPort = "You must select a COM port";

constexpr const char* kCaptionExtract = "Extracting Unit Configuration";
constexpr const char* kCaptionInstall = "Installing Unit Configuration";
constexpr const char* kCaptionReset = "Resetting Unit Configuration";
constexpr const char* kCaptionCommit = "Committing...";
constexpr const char* kCaptionReboot = "Rebooting...";

constexpr const char* kAboutMenuItem = "&About JVO-Config...";
constexpr const char* kAboutTitle = "About JVO Configuration Tool";
constexpr const char* kConnectTitle = "Connect...";
constexpr const char* kWorkOfflineNote =
    "If you are not connected to an JVO unit you can still edit configuration files off-line";
constexpr const char* kAddSubfeedTitle = "Add Subfeed";

constexpr const char* kFileExt = "jvo.cfg";
constexpr const char* kOpenFilter = "JVO Config Files (*.jvo.cfg)|*.jvo.cfg||";
constexpr const char* kSaveFilter = "JVO Config File (*.jvo.cfg)|*.jvo.cfg||";

// Beside the described texts: the File menu, the comparison with the unit and the status line.
constexpr const char* kCompareTitle = "Compare with Unit";
constexpr const char* kCaptionCompare = "Reading Unit Configuration";
constexpr const char* kCompareFailed = "Failed to read the configuration of the attached unit.";
constexpr const char* kCompareSame =
    "The unit's configuration is the same as the one to be installed.";
constexpr const char* kCompareNeedsUnit = "Connect to a unit first (File > Connect...).";
constexpr const char* kInstalledStatus = "Configuration installed; the unit is running";
constexpr const char* kAskKeepConfig =
    "Keep the configuration you are working on?\n\nYes: connect and keep it; Install writes it "
    "to the unit.\nNo: extract the unit's configuration in its place.";
constexpr const char* kUnitSilent = "The unit does not answer.";
constexpr const char* kUnsavedNoFile = "Unsaved changes (not saved to a file)";

constexpr const char* kAddressRange = "Base address must be in the range 0 .. 246";
constexpr const char* kAddressEven = "Base address must be an even number";
constexpr const char* kNoBreakerSelected = "No Breaker Selected";
constexpr const char* kDipNonZero =
    "* The DIP Switch address is NON-ZERO, therefore the unit will ignore the Software Address";
constexpr const char* kDipZero =
    "* The DIP Switch address is ZERO, therefore the unit will respond to the Software Address";
constexpr const char* kDipUnknown =
    "* The DIP Switch address is only available for configurations extracted from an attached "
    "JVO unit";
constexpr const char* kDipNotAvailable = "N/A *";

}  // namespace jvo::tool::text
