#pragma once
// CFotoloft: the ActiveX control a page embeds. It lives in the page's single-threaded
// apartment and owns one child window, the main panel. The page talks to it through
// IFotoloft: postMessage (JSON in), recvMessage (the page's function for JSON out) and
// FireRecvMessage (hands a text to that function).
//
// The control owns its upload session (UploadSession) and its own work queue: the engine's
// reports reach this control's window thread as work (WindowTasks), whatever other controls
// the process holds; outgoing texts reach the page from any thread through sendJson. The window's painting and mouse go to the
// root of its owner-drawn control tree, the main panel, a member.
//
// The object outlives its windows: the list, its records and selection, the panel's state,
// the settings and the running task belong to the object, and each window the container
// has it make (every in-place activation) is a view of them. Every modal window it runs
// holds a reference on it (ModalRuns); closing the control ends them.
#include "Biz/Log.h"
#include "control/AppConfig.h"
#include "control/ControlDropTarget.h"
#include "control/FotoloftIds.h"
#include "control/JsonSender.h"
#include "control/MainPanel.h"
#include "control/MessageBridge.h"
#include "control/PageChannel.h"
#include "control/PageEvents.h"
#include "control/PanelHost.h"
#include "control/UploadReports.h"
#include "control/UploadSession.h"
#include "ui/RootHost.h"
#include "image/GdiplusLease.h"
#include "platform/ActiveXControl.h"
#include "platform/ModalRun.h"
#include "platform/WindowTasks.h"

#include <boost/signals2/signal.hpp>
#include <json/value.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vantor {

class ListViewPostItem;

class CFotoloft : public ActiveXControl, public IFotoloft, private PanelHost {
public:
    // Dispatch ids of IFotoloft's members.
    enum : DISPID { kPostMessage = 1, kFireRecvMessage = 2, kRecvMessage = 3 };

    // The class factory's creator: makes, constructs and returns the control.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    CFotoloft();
    ~CFotoloft() override;

    // The construction step that runs before the host uses the object; a failure means no
    // control.
    HRESULT construct();

    // Any thread: writes the message compactly and raises the page's recvMessage with it on
    // the window thread.
    void sendJson(const ::Json::Value& message);

    // This control's settings, as its page gave them; no other control, and no page of
    // another frame, reads or writes them. Window thread.
    const AppConfig& config() const { return config_; }

    // The page's address as the container gave it, and whether the sites allowed to drive
    // the control (SiteAllowList) include it. A refused page gets no answer, and its
    // messages change nothing.
    const std::wstring& pageAddress() const { return pageAddress_; }
    bool pageAllowed() const { return pageAllowed_; }

    // Window thread: the upload list's files as the engine takes them: record and id, in
    // list order.
    std::vector<UploadFile> UploadSnapshot();
    // Window thread: starts uploading the files (a snapshot of the list, in list order; the
    // last goes first) with a copy of the settings; the list shows progress meanwhile. False
    // when a task still runs or there is nothing to send.
    bool StartUpload(std::vector<UploadFile> files, const UploadSettings& settings);
    // Window thread: ends the task early; its end is still reported as usual.
    void CancelUpload();
    bool IsUploading() const { return session_.IsUploading(); }
    UploadTaskProgress UploadProgress() const { return session_.Progress(); }
    // Whether a task runs and which files it holds: the one answer the panel and list follow.
    const UploadSession& Session() const { return session_; }
    // Window thread: the list's files with a copy of the page's settings, as the upload
    // button starts them.
    bool StartListUpload() override;

    // Window thread, on each report of a file (progress, completion, failure): its band
    // needs painting from the record's UploadState().
    boost::signals2::signal<void(const std::shared_ptr<ImageData>& file)> UploadFileChanged;
    // Window thread, on "task_end": the task's own record of what it did (the files it
    // uploaded leave the list here).
    boost::signals2::signal<void(const UploadTaskResult& result)> UploadEnded;

    // The control's own work queue, run by the control's window (or, for a control the
    // container never shows, by whatever window is set on it).
    WindowTasks& tasks() { return tasks_; }
    // What the control's tasks report to: the engine's threads call it.
    const std::shared_ptr<UploadReports>& uploadReports() const { return reports_; }

    // IUnknown: one identity for every interface.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ActiveXControl::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return ActiveXControl::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ActiveXControl::Release(); }
    void* queryInterface(REFIID iid) override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* badArgument) override;

    // IOleObject: ends the control's modal windows first.
    STDMETHODIMP Close(DWORD saveOption) override;
    // IOleInPlaceActiveObject: the container offers each key first. Tab and Shift+Tab move
    // the focus inside the panel while a stop lies that way (S_OK); at the last (or first)
    // stop the answer is S_FALSE, and the container moves on to the page's next element.
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;

    // IFotoloft
    STDMETHODIMP postMessage(BSTR newVal) override;
    STDMETHODIMP FireRecvMessage(BSTR json) override;
    STDMETHODIMP put_recvMessage(IDispatch* newVal) override;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void drawContent(HDC dc, const RECT& bounds) override;
    void onSiteAttached() override;
    void onSiteReleased() override;
    bool supportsErrorInfo(REFIID iid) const override { return iid == IID_IFotoloft; }

private:
    // The page's settings, read in these two places only: what a task gets, what adds take.
    UploadSettings uploadSettings() const;
    void applyAddLimits();
    // PanelHost: the modal edit window and the modeless preview of a list item.
    void EditItem(int32_t itemId) override;
    void PreviewItem(int32_t itemId) override;
    std::wstring PickFolder() const override { return config_.getFolder(); }
    void SetPickFolder(const std::wstring& folder) override { config_.setFolder(folder); }
    ModalRuns& Modals() override { return modals_; }
    void closePreview();
    std::size_t addDroppedFiles(const std::vector<std::wstring>& paths);
    void tellFilesLeftOut(int leftOut);
    bool onMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // The upload engine's reports, handled on the window thread.
    UploadReports::Handlers reportHandlers();
    // Repaints the item of the file a report is about.
    void onFileReport(const std::shared_ptr<ImageData>& file);
    // The list's item of a file of the running task; null when it has gone or holds another
    // record now.
    ListViewPostItem* uploadItemOf(const ImageData& file);
    void leaveUploading(const UploadTaskResult& result);
    void onFileProgress(const std::shared_ptr<ImageData>& file);
    void onFileComplete(const std::shared_ptr<ImageData>& file);
    void onFileError(const std::shared_ptr<ImageData>& file);
    void onTaskEnd(const UploadTaskResult& task);
    void onTaskComplete(const UploadTaskResult& task);

    // First, so that it goes last: everything below may hold GDI+ objects.
    const GdiplusLease gdiplus_ = GdiplusLease::Acquire();
    ModalRuns modals_{unknown()};
    // Work for the window thread; closed first when the control goes, so that none of it
    // runs against what is freed.
    WindowTasks tasks_;
    std::shared_ptr<UploadReports> reports_;
    UploadSession session_;
    PageEvents pageEvents_;  // what the page hears of the running task besides "post_complete"
    MainPanel panel_{*this, session_};
    // Files dropped on the control window outside the list go to the upload list.
    ControlDropTarget dropTarget_;
    int leftOut_ = 0;  // files an addition had to leave out, told to the user once it returned
    // The window's back buffer and mouse routing for the panel's tree.
    UI::RootHost root_{panel_};
    HWND preview_ = nullptr;  // the open preview window, which deletes itself when closed
    AppConfig config_;  // before the bridge, which writes it
    // This control's debug log, which its page's "init" opens; shared with the uploads it
    // starts, which may end after the control.
    const std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::wstring pageAddress_;
    bool pageAllowed_ = false;  // decided at construction and whenever a site is given
    MessageBridge bridge_;
    // The page's recvMessage function and the texts for it.
    PageChannel page_{tasks_};
    JsonSender sender_;
};

}  // namespace Vantor
