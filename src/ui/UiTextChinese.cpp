// The Chinese texts: the interface as it has always read.
#include "ui/UiText.h"

namespace Vantor::UI {

const wchar_t* ChineseText(TextId id)
{
    switch (id) {
    case TextId::PanelName: return L"照片上传";
    case TextId::ListName: return L"上传列表";
    case TextId::AddPhotos: return L"添加照片";
    case TextId::Upload: return L"开始上传";
    case TextId::CancelUpload: return L"取消上传";
    case TextId::SelectAll: return L"全选";
    case TextId::Edit: return L"编辑";
    case TextId::RotateLeft: return L"左旋";
    case TextId::RotateRight: return L"右旋";
    case TextId::Delete: return L"删除";
    case TextId::SortName: return L"排序";
    case TextId::SortDefault: return L"默认排序";
    case TextId::SortByName: return L"按文件名";
    case TextId::SortByCreated: return L"按创建时间";
    case TextId::SortByTaken: return L"按拍摄时间";
    case TextId::Hint: return L"请点击\"添加按钮\"，选择要上传的照片";
    case TextId::EmptyList: return L"单击\"添加照片\"按钮或拖动照片到上传框中";
    case TextId::EmptyUpload: return L"上传列表为空，请选择文件";
    case TextId::DuplicatesSkipped: return L"%1 张照片已在列表中，没有重复添加";
    case TextId::OtherKindsRefused: return L"%1 个文件不是可以上传的图片，没有添加";
    case TextId::FilesLeftOut: return L"最多只能添加%1张照片，%2张照片未添加";
    case TextId::Uploading: return L"正在上传 %1/%2 张，%3/%4，%5/s";
    case TextId::TimeLeft: return L"，剩余 %1";
    case TextId::ClickAction: return L"单击";
    case TextId::ClickToRename: return L"单击重命名";

    case TextId::Waiting: return L"等待";
    case TextId::Preparing: return L"准备中";
    case TextId::Uploaded: return L"上传成功";
    case TextId::WaitingToRetry: return L"等待重试";
    case TextId::BandFailed: return L"上传失败";
    case TextId::BandUnreadable: return L"失败：文件无法读取";
    case TextId::BandCannotConnect: return L"失败：无法连接服务器";
    case TextId::BandConnectionLost: return L"失败：连接中断";
    case TextId::BandTimedOut: return L"失败：服务器无响应";
    case TextId::BandRefused: return L"失败：服务器拒绝%1";
    case TextId::BandNotAccepted: return L"失败：服务器未接受";
    case TextId::BandBadReply: return L"失败：回复无效";
    case TextId::BandRedirected: return L"失败：被重定向%1";
    case TextId::BandUnsupported: return L"失败：协议不符";
    case TextId::BandStopped: return L"已取消";
    case TextId::HoverFailed: return L"上传失败";
    case TextId::HoverUnreadable: return L"上传失败：文件无法读取（已移动、删除或不是图片），没有发送";
    case TextId::HoverCannotConnect: return L"上传失败：无法连接服务器，请检查网络或地址";
    case TextId::HoverConnectionLost: return L"上传失败：与服务器的连接中断了%1";
    case TextId::HoverTimedOut: return L"上传失败：服务器在限定时间内没有回应";
    case TextId::HoverRefused: return L"上传失败：服务器拒绝了这个文件%1";
    case TextId::HoverNotAccepted: return L"上传失败：服务器没有接受这个文件%1";
    case TextId::HoverBadReply: return L"上传失败：服务器的回复无法识别%1";
    case TextId::HoverRedirected: return L"上传失败：服务器要求转到别的地址%1";
    case TextId::HoverUnsupported: return L"上传失败：服务器不支持这种上传协议（tus 1.0.0）%1";
    case TextId::HoverStopped: return L"上传已取消";
    case TextId::HttpStatus: return L"（HTTP %1）";
    case TextId::ServerSaid: return L"：%1";

    case TextId::Ok: return L"确定";
    case TextId::Cancel: return L"取消";
    case TextId::Close: return L"关闭";
    case TextId::Maximize: return L"最大化";
    case TextId::MessageTitle: return L"提示消息";
    case TextId::AddDialogTitle: return L"添加图片";
    case TextId::Loading: return L"加载中...";
    case TextId::PickedNone: return L"当前选择0/0张照片";
    case TextId::PickedCount: return L"当前选择：%1/%2 张照片";
    case TextId::PickedCountElsewhere: return L"当前选择：%1 张照片（本文件夹 %2/%3）";
    case TextId::PickedSize: return L"共%1";
    case TextId::LimitListFull:
        return L"上传列表最多只能放 %1 张照片，这次添加了 %2 张，%3 张未添加。请先上传或删除一些照片再添加。";
    case TextId::LimitPick:
        return L"一次最多只能添加 %1 张照片，这次添加了 %2 张，%3 张未添加。请再添加一次，选其余的照片。";
    case TextId::PreviewTitle: return L"图片预览";
    case TextId::PreviousPicture: return L"上一张";
    case TextId::NextPicture: return L"下一张";

    case TextId::EditTitle: return L"编辑图片";
    case TextId::EditResize: return L"调整尺寸";
    case TextId::EditBrightness: return L"调整亮度";
    case TextId::EditSaturation: return L"饱和度";
    case TextId::EditRotate: return L"旋转图片";
    case TextId::EditQuality: return L"质量优化";
    case TextId::EditCrop: return L"裁剪图片";
    case TextId::EditRevert: return L"撤消编辑";
    case TextId::WidthLabel: return L"宽度：";
    case TextId::HeightLabel: return L"高度：";
    case TextId::KeepRatio: return L"约束比例";
    case TextId::ActualPixels: return L"实际像素";
    case TextId::FitSize: return L"适合尺寸";
    case TextId::BrightnessLabel: return L"亮度：";
    case TextId::ContrastLabel: return L"对比度：";
    case TextId::SaturationLabel: return L"饱和度：";
    case TextId::Adjust: return L"调整";
    case TextId::ChooseFormat: return L"请选择";
    case TextId::QualityLabel: return L"图片质量：";
    case TextId::Apply: return L"应用";
    case TextId::Crop: return L"裁剪";
    case TextId::UndoCrop: return L"撤消";
    case TextId::EditUnreadable: return L"无法读取这张图片：文件可能已损坏，或不是支持的图片格式。请换一张图片再试。";
    case TextId::EditDiscard: return L"放弃对这张图片所做的修改吗？按“确定”放弃修改，按“取消”回到编辑。";
    case TextId::EditTooLarge:
        return L"无法调整到 %1 × %2：这么大的图片需要约 %3 MB 内存，超出了本机的能力。请输入较小的宽度或高度。";
    case TextId::EditNoMemory: return L"无法调整到 %1 × %2：内存不足。请输入较小的宽度或高度。";
    case TextId::EditSaveNoMemory: return L"图片无法保存：内存不足。请把图片调小一些再按“确定”。";

    case TextId::RemovedPhotos: return L"已删除 %1 张照片";
    case TextId::UndoRemoval: return L"撤销 (Ctrl+Z)";
    case TextId::AwaitingServer: return L"等待服务器";
    case TextId::UploadingAwaiting: return L"正在上传 %1/%2 张，%3/%4，已全部发出，等待服务器回应";
    case TextId::TaskUploaded: return L"%1 张照片已上传（%2）";
    case TextId::TaskNoneUploaded: return L"没有照片上传成功";
    case TextId::TaskFailed: return L"，%1 张上传失败：";
    case TextId::TaskFailedReason: return L"%1 张%2";
    case TextId::TaskReasonSeparator: return L"，";
    case TextId::TaskCancelled: return L"，%1 张已取消";
    case TextId::TaskCancelledAfterFailures: return L"；%1 张已取消";

    case TextId::Count: break;
    }
    return nullptr;
}

}  // namespace Vantor::UI
