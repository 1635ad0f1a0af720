// The English texts. Words on the panel stay short where their place is fixed (the edit
// window's 72-pixel buttons); the panel's top row is laid out from the words' widths.
#include "ui/UiText.h"

namespace Vantor::UI {

const wchar_t* EnglishText(TextId id)
{
    switch (id) {
    case TextId::PanelName: return L"Photo upload";
    case TextId::ListName: return L"Upload list";
    case TextId::AddPhotos: return L"Add photos";
    case TextId::Upload: return L"Upload";
    case TextId::CancelUpload: return L"Cancel";
    case TextId::SelectAll: return L"Select all";
    case TextId::Edit: return L"Edit";
    case TextId::RotateLeft: return L"Rotate left";
    case TextId::RotateRight: return L"Rotate right";
    case TextId::Delete: return L"Delete";
    case TextId::SortName: return L"Sort";
    case TextId::SortDefault: return L"Default order";
    case TextId::SortByName: return L"By file name";
    case TextId::SortByCreated: return L"By date created";
    case TextId::SortByTaken: return L"By date taken";
    case TextId::Hint: return L"Click \"Add photos\" to choose the photos to upload";
    case TextId::EmptyList: return L"Click \"Add photos\" or drag photos into the upload box";
    case TextId::EmptyUpload: return L"The upload list is empty. Please choose files first.";
    case TextId::DuplicatesSkipped: return L"%1 photo(s) already in the list, not added again";
    case TextId::OtherKindsRefused: return L"%1 file(s) not pictures that can be uploaded, not added";
    case TextId::FilesLeftOut: return L"At most %1 photos can be added; %2 photos were not added";
    case TextId::Uploading: return L"Uploading %1/%2 photos, %3/%4, %5/s";
    case TextId::TimeLeft: return L", %1 left";
    case TextId::ClickAction: return L"Click";
    case TextId::ClickToRename: return L"Click to rename";

    case TextId::Waiting: return L"Waiting";
    case TextId::Preparing: return L"Preparing";
    case TextId::Uploaded: return L"Uploaded";
    case TextId::WaitingToRetry: return L"Waiting to retry";
    case TextId::BandFailed: return L"Upload failed";
    case TextId::BandUnreadable: return L"Failed: unreadable file";
    case TextId::BandCannotConnect: return L"Failed: no connection";
    case TextId::BandConnectionLost: return L"Failed: connection lost";
    case TextId::BandTimedOut: return L"Failed: no answer";
    case TextId::BandRefused: return L"Failed: refused%1";
    case TextId::BandNotAccepted: return L"Failed: not accepted";
    case TextId::BandBadReply: return L"Failed: bad reply";
    case TextId::BandRedirected: return L"Failed: redirected%1";
    case TextId::BandUnsupported: return L"Failed: wrong protocol";
    case TextId::BandStopped: return L"Cancelled";
    case TextId::HoverFailed: return L"Upload failed";
    case TextId::HoverUnreadable:
        return L"Upload failed: the file cannot be read (moved, deleted or not a picture) and was not sent";
    case TextId::HoverCannotConnect:
        return L"Upload failed: cannot connect to the server. Please check the network or the address";
    case TextId::HoverConnectionLost: return L"Upload failed: the connection to the server broke%1";
    case TextId::HoverTimedOut: return L"Upload failed: the server did not answer in time";
    case TextId::HoverRefused: return L"Upload failed: the server refused this file%1";
    case TextId::HoverNotAccepted: return L"Upload failed: the server did not accept this file%1";
    case TextId::HoverBadReply: return L"Upload failed: the server's reply could not be understood%1";
    case TextId::HoverRedirected: return L"Upload failed: the server sent the upload to another address%1";
    case TextId::HoverUnsupported:
        return L"Upload failed: the server does not support this upload protocol (tus 1.0.0)%1";
    case TextId::HoverStopped: return L"Upload cancelled";
    case TextId::HttpStatus: return L" (HTTP %1)";
    case TextId::ServerSaid: return L": %1";

    case TextId::Ok: return L"OK";
    case TextId::Cancel: return L"Cancel";
    case TextId::Close: return L"Close";
    case TextId::Maximize: return L"Maximize";
    case TextId::MessageTitle: return L"Message";
    case TextId::AddDialogTitle: return L"Add pictures";
    case TextId::Loading: return L"Loading...";
    case TextId::PickedNone: return L"Selected 0/0 photos";
    case TextId::PickedCount: return L"Selected: %1/%2 photos";
    case TextId::PickedCountElsewhere: return L"Selected: %1 photos (this folder %2/%3)";
    case TextId::PickedSize: return L"Total %1";
    case TextId::LimitListFull:
        return L"The upload list holds at most %1 photos: %2 were added this time and %3 were left out. "
               L"Please upload or delete some photos first, then add more.";
    case TextId::LimitPick:
        return L"At most %1 photos can be added at a time: %2 were added this time and %3 were left out. "
               L"Please add again to choose the others.";
    case TextId::PreviewTitle: return L"Picture preview";
    case TextId::PreviousPicture: return L"Previous picture";
    case TextId::NextPicture: return L"Next picture";

    case TextId::EditTitle: return L"Edit picture";
    case TextId::EditResize: return L"Resize";
    case TextId::EditBrightness: return L"Brightness";
    case TextId::EditSaturation: return L"Saturation";
    case TextId::EditRotate: return L"Rotate";
    case TextId::EditQuality: return L"Quality";
    case TextId::EditCrop: return L"Crop";
    case TextId::EditRevert: return L"Undo all";
    case TextId::WidthLabel: return L"Width:";
    case TextId::HeightLabel: return L"Height:";
    case TextId::KeepRatio: return L"Keep ratio";
    case TextId::ActualPixels: return L"Actual size";
    case TextId::FitSize: return L"Fit";
    case TextId::BrightnessLabel: return L"Brightness:";
    case TextId::ContrastLabel: return L"Contrast:";
    case TextId::SaturationLabel: return L"Saturation:";
    case TextId::Adjust: return L"Apply";
    case TextId::ChooseFormat: return L"Choose";
    case TextId::QualityLabel: return L"Quality:";
    case TextId::Apply: return L"Apply";
    case TextId::Crop: return L"Crop";
    case TextId::UndoCrop: return L"Undo";
    case TextId::EditUnreadable:
        return L"This picture cannot be read: the file may be damaged, or its format is not supported. "
               L"Please try another picture.";
    case TextId::EditDiscard:
        return L"Discard the changes made to this picture? Press \"OK\" to discard them, \"Cancel\" to go on "
               L"editing.";
    case TextId::EditTooLarge:
        return L"Cannot resize to %1 × %2: a picture this large needs about %3 MB of memory, more than this "
               L"computer can give. Please enter a smaller width or height.";
    case TextId::EditNoMemory:
        return L"Cannot resize to %1 × %2: not enough memory. Please enter a smaller width or height.";
    case TextId::EditSaveNoMemory:
        return L"The picture cannot be saved: not enough memory. Please make it smaller, then press \"OK\".";

    case TextId::RemovedPhotos: return L"%1 photos removed";
    case TextId::UndoRemoval: return L"Undo (Ctrl+Z)";
    case TextId::AwaitingServer: return L"Waiting for server";
    case TextId::UploadingAwaiting: return L"Uploading %1/%2 photos, %3/%4, all sent, waiting for the server to answer";
    case TextId::TaskUploaded: return L"%1 photos uploaded (%2)";
    case TextId::TaskNoneUploaded: return L"No photo was uploaded";
    case TextId::TaskFailed: return L", %1 failed: ";
    case TextId::TaskFailedReason: return L"%1 %2";
    case TextId::TaskReasonSeparator: return L", ";
    case TextId::TaskCancelled: return L", %1 cancelled";
    case TextId::TaskCancelledAfterFailures: return L"; %1 cancelled";

    case TextId::Count: break;
    }
    return nullptr;
}

}  // namespace Vantor::UI
