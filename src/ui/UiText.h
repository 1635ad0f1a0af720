#pragma once
// Every word the user sees or hears: captions, hints, tool names, sort entries, the dialogs,
// the edit window's panels, messages, the progress line, the items' upload states and the
// names assistive technology reads. Each language has one table (UiTextChinese.cpp,
// UiTextEnglish.cpp); code names a text by its id and never spells it.
//
// A text with "%1" ... "%9" is a pattern: FormatText fills them in, so that each language
// puts the numbers where its sentence needs them.
#include "ui/Language.h"

#include <initializer_list>
#include <string>

namespace Vantor::UI {

enum class TextId {
    // The panel.
    PanelName,          // the control as assistive technology names it
    ListName,           // the upload list
    AddPhotos,          // the add buttons (drawn from images)
    Upload,             // the upload button
    CancelUpload,       // the cancel button
    SelectAll,
    Edit,
    RotateLeft,
    RotateRight,
    Delete,
    SortName,
    SortDefault,
    SortByName,
    SortByCreated,
    SortByTaken,
    Hint,
    EmptyList,
    EmptyUpload,
    DuplicatesSkipped,  // %1 pictures
    OtherKindsRefused,  // %1 files
    FilesLeftOut,       // %1 the limit, %2 left out
    Uploading,          // %1 files ended, %2 files, %3 bytes sent, %4 bytes in all, %5 speed
    TimeLeft,           // %1 the time left, added to Uploading
    ClickAction,        // the default action of everything that acts on a click
    ClickToRename,

    // The items' upload states: the band and what the hovered item and the list item say.
    Waiting,
    Preparing,
    Uploaded,
    WaitingToRetry,
    BandFailed,
    BandUnreadable,
    BandCannotConnect,
    BandConnectionLost,
    BandTimedOut,
    BandRefused,        // %1 " 503" or nothing
    BandNotAccepted,
    BandBadReply,
    BandRedirected,     // %1 " 302" or nothing
    BandUnsupported,
    BandStopped,
    HoverFailed,
    HoverUnreadable,
    HoverCannotConnect,
    HoverConnectionLost,  // %1 the HTTP status text or nothing (the same for those below)
    HoverTimedOut,
    HoverRefused,
    HoverNotAccepted,
    HoverBadReply,
    HoverRedirected,
    HoverUnsupported,
    HoverStopped,
    HttpStatus,         // %1 the status
    ServerSaid,         // %1 the server's own words

    // The dialogs.
    Ok,
    Cancel,
    Close,
    Maximize,
    MessageTitle,
    AddDialogTitle,
    Loading,
    PickedNone,
    PickedCount,        // %1 checked, %2 pictures in the folder
    PickedCountElsewhere,  // %1 checked in all, %2 checked here, %3 pictures here
    PickedSize,         // %1 bytes
    LimitListFull,      // %1 limit, %2 added, %3 left out
    LimitPick,          // %1 limit, %2 added, %3 left out
    PreviewTitle,
    PreviousPicture,
    NextPicture,

    // The edit window.
    EditTitle,
    EditResize,
    EditBrightness,
    EditSaturation,
    EditRotate,
    EditQuality,
    EditCrop,
    EditRevert,
    WidthLabel,
    HeightLabel,
    KeepRatio,
    ActualPixels,
    FitSize,
    BrightnessLabel,
    ContrastLabel,
    SaturationLabel,
    Adjust,
    ChooseFormat,
    QualityLabel,
    Apply,
    Crop,
    UndoCrop,
    EditUnreadable,
    EditDiscard,
    EditTooLarge,       // %1 width, %2 height, %3 megabytes
    EditNoMemory,       // %1 width, %2 height
    EditSaveNoMemory,

    // Undo, the server's silence and the end of a task.
    RemovedPhotos,      // %1 photos removed (the hint line, beside the undo entry)
    UndoRemoval,        // the undo entry
    AwaitingServer,     // the band of a file whose every byte went out
    UploadingAwaiting,  // %1 files ended, %2 files, %3 bytes sent, %4 bytes in all: all sent
    TaskUploaded,       // %1 photos, %2 bytes
    TaskNoneUploaded,
    TaskFailed,         // %1 photos that failed, followed by their reasons
    TaskFailedReason,   // %1 photos, %2 the reason
    TaskReasonSeparator,
    TaskCancelled,      // %1 photos; after the failures when there are any
    TaskCancelledAfterFailures,  // %1 photos

    Count  // not a text: how many there are
};

// The text in the given language; never null, for every id before Count.
const wchar_t* Text(Language language, TextId id);
// The pattern with %1 ... %9 replaced by the arguments in order ("%%" is one "%").
std::wstring FormatText(Language language, TextId id, std::initializer_list<std::wstring> arguments);

// The two tables (null for an id a table lacks, which a test rules out).
const wchar_t* ChineseText(TextId id);
const wchar_t* EnglishText(TextId id);

}  // namespace Vantor::UI
