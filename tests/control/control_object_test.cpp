// The control object itself, linked in: outgoing texts through the global interface table
// from any thread, internal notifications through the event queue, and the object's lifetime
// and COM surface.
#include "TestSupport.h"

#include "Biz/Log.h"
#include "control/AppConfig.h"
#include "control/Fotoloft.h"
#include "control/UploadReports.h"
#include "control/OutgoingMessages.h"
#include "platform/ComModule.h"

#include <gtest/gtest.h>

#include <objsafe.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <vector>

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

const std::wstring kLoadComplete = L"{\"browser\":\"ie32\",\"name\":\"load_complete\",\"version\":\"2,8,29,51372\"}\n";

class ControlObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TestSupport::RegisterBuiltDll()); }

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        objectsBefore = ComModule::ObjectCount();
        ASSERT_EQ(CFotoloft::Create(IID_IFotoloft, reinterpret_cast<void**>(fotoloft.GetAddressOf())), S_OK);
        control = static_cast<CFotoloft*>(fotoloft.Get());
        receiver = MakeComObject<TestSupport::Receiver>();
        ASSERT_EQ(fotoloft->put_recvMessage(receiver.Get()), S_OK);
    }

    void TearDown() override
    {
        // The container lets go, then drops its reference: the control must go away.
        ComPtr<IOleObject> object;
        ASSERT_EQ(fotoloft.As(&object), S_OK);
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        object.Reset();
        control = nullptr;
        fotoloft.Reset();
        receiver.Reset();
        EXPECT_EQ(ComModule::ObjectCount(), objectsBefore) << "an object outlived its last reference";
        CoUninitialize();
    }

    long objectsBefore = 0;
    ComPtr<IFotoloft> fotoloft;
    CFotoloft* control = nullptr;
    ComPtr<TestSupport::Receiver> receiver;
};

}  // namespace

TEST_F(ControlObjectTest, SendJsonOnTheWindowThreadIsDirect)
{
    control->sendJson(MakeLoadComplete());
    // No pumping: the call on the control's own thread reaches the page at once.
    ASSERT_EQ(receiver->count(), 1u);
    EXPECT_EQ(receiver->calls()[0].text, kLoadComplete);
    EXPECT_EQ(receiver->calls()[0].thread, GetCurrentThreadId());
}

TEST_F(ControlObjectTest, SendJsonFromAWorkerReachesThePageOnTheWindowThread)
{
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        control->sendJson(MakeLoadComplete());
        sent = true;
    });
    const bool arrived = TestSupport::PumpUntil([&] { return sent && receiver->count() == 1; }, 10s);
    worker.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(receiver->calls()[0].text, kLoadComplete);
    EXPECT_EQ(receiver->calls()[0].thread, GetCurrentThreadId());
}

// A worker holds the send lock while its call waits for the window thread; the window
// thread sending at the same moment must not wait for that lock.
TEST_F(ControlObjectTest, WorkersAndTheWindowThreadSendingTogetherDoNotDeadlock)
{
    constexpr int kWorkers = 3, kEach = 40, kOwn = 40;
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                control->sendJson(MakePostComplete({}));
            ++finished;
        });
    for (int i = 0; i < kOwn; ++i) {
        control->sendJson(MakeLoadComplete());
        TestSupport::PumpFor(1ms);
    }
    const bool done = TestSupport::PumpUntil(
        [&] { return finished == kWorkers && receiver->count() == size_t{kWorkers * kEach + kOwn}; }, 30s);
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_TRUE(done) << receiver->count() << " texts arrived";
    size_t own = 0;
    for (const auto& call : receiver->calls()) {
        EXPECT_EQ(call.thread, GetCurrentThreadId());
        own += call.text == kLoadComplete;
    }
    EXPECT_EQ(own, size_t{kOwn});
}

// A task's end reported by a worker makes the control send "post_complete"; a page
// function that pumps messages while workers keep reporting runs the control's work again
// inside itself, and what that work sends waits until the function has returned: it is
// never entered twice.
TEST_F(ControlObjectTest, TaskCompleteReachesAPageThatPumpsMessagesWhileWorkersPost)
{
    WindowTasks& tasks = control->tasks();
    TestSupport::DrainWindow window{tasks};
    receiver->pumpDuringCall(3ms);
    int drainsInsideThePage = 0;
    const std::shared_ptr<UploadReports> reports = control->uploadReports();
    constexpr int kPosts = 200;
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            reports->TaskCompleted(UploadTaskResult{});
            tasks.Post([&] { drainsInsideThePage += receiver->nesting() > 0 ? 1 : 0; });
            // Reports keep coming while the page's functions run (each takes milliseconds).
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool done = TestSupport::PumpUntil([&] { return receiver->count() == kPosts; }, 30s);
    worker.join();
    ASSERT_TRUE(done) << receiver->count() << " of " << kPosts;
    TestSupport::PumpFor(50ms);
    EXPECT_EQ(receiver->count(), size_t{kPosts});
    for (const auto& call : receiver->calls())
        EXPECT_EQ(call.text, L"{\"name\":\"post_complete\"}\n");
    EXPECT_GT(drainsInsideThePage, 0) << "no drain ran inside the page function";
    EXPECT_EQ(receiver->deepestNesting(), 1) << "the page's function was entered again";
}

TEST_F(ControlObjectTest, PageMessagesAnswerThroughTheReceiverAndReplacingItTakesEffect)
{
    BStr init(L"{\"name\":\"init\",\"config\":{}}");
    EXPECT_EQ(fotoloft->postMessage(init.get()), S_OK);
    ASSERT_EQ(receiver->count(), 1u);

    const ComPtr<TestSupport::Receiver> second = MakeComObject<TestSupport::Receiver>();
    EXPECT_EQ(fotoloft->put_recvMessage(second.Get()), S_OK);
    fotoloft->postMessage(init.get());
    EXPECT_EQ(receiver->count(), 1u);
    EXPECT_EQ(second->count(), 1u);

    EXPECT_EQ(fotoloft->put_recvMessage(nullptr), S_OK);
    fotoloft->postMessage(init.get());
    EXPECT_EQ(fotoloft->FireRecvMessage(init.get()), S_OK);
    EXPECT_EQ(second->count(), 1u);

    // Bad texts succeed and send nothing.
    fotoloft->put_recvMessage(second.Get());
    for (const wchar_t* text : {L"", L"{", L"[1,2]", L"{\"name\":\"init\"}", L"{\"name\":\"nope\"}"}) {
        BStr bad(text);
        EXPECT_EQ(fotoloft->postMessage(bad.get()), S_OK);
    }
    EXPECT_EQ(fotoloft->postMessage(nullptr), S_OK);
    EXPECT_EQ(second->count(), 1u);
}

TEST_F(ControlObjectTest, DispatchAcceptsWhatScriptsSend)
{
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(fotoloft.As(&dispatch), S_OK);
    DISPID ids[3] = {};
    const wchar_t* names[] = {L"postmessage", L"FireRecvMessage", L"RECVMESSAGE"};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[i]), 1, 0, &ids[i]), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 3);

    // A function assigned with both put flags, as Wine's JScript does.
    VARIANT function;
    function.vt = VT_DISPATCH;
    function.pdispVal = receiver.Get();
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&function, &named, 1, 1};
    ASSERT_EQ(dispatch->Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, &put, nullptr, nullptr,
                               nullptr),
              S_OK);
    // A number where a string is expected is converted to its text.
    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 42;
    DISPPARAMS call{&number, nullptr, 1, 0};
    ASSERT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(receiver->count(), 1u);
    EXPECT_EQ(receiver->calls()[0].text, L"42");
    // A property read of the write-only member, and unknown members, fail cleanly.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    EXPECT_EQ(dispatch->Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
}

TEST_F(ControlObjectTest, ReportsOnlySafeForUntrustedCallers)
{
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(fotoloft.As(&safety), S_OK);
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER});
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              S_OK);
    safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER});
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistStreamInit, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                                INTERFACESAFE_FOR_UNTRUSTED_DATA),
              E_FAIL);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
}

TEST_F(ControlObjectTest, AnswersTheContainerInterfacesWithOneIdentity)
{
    ComPtr<IUnknown> identity;
    ASSERT_EQ(fotoloft.As(&identity), S_OK);
    const IID expected[] = {IID_IDispatch, IID_IOleObject, IID_IOleInPlaceObject, IID_IOleInPlaceObjectWindowless,
                            IID_IOleInPlaceActiveObject, IID_IOleControl, IID_IOleWindow, IID_IViewObject,
                            IID_IViewObject2, IID_IViewObjectEx, IID_IPersist, IID_IPersistStreamInit,
                            IID_IPersistStorage, IID_IQuickActivate, IID_IDataObject, IID_IObjectWithSite,
                            IID_ISpecifyPropertyPages, IID_ISupportErrorInfo, IID_IProvideClassInfo,
                            IID_IProvideClassInfo2};
    for (const IID& iid : expected) {
        ComPtr<IUnknown> answered, back;
        ASSERT_EQ(fotoloft->QueryInterface(iid, reinterpret_cast<void**>(answered.GetAddressOf())), S_OK);
        ASSERT_EQ(answered.As(&back), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(fotoloft->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(none.GetAddressOf())),
              E_NOINTERFACE);

    ComPtr<IOleObject> object;
    fotoloft.As(&object);
    DWORD status = 0;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 131473u);

    ComPtr<IProvideClassInfo2> classInfo;
    fotoloft.As(&classInfo);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(classInfo->GetClassInfo(info.GetAddressOf()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(attributes->guid == CLSID_Fotoloft);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attributes);
}

TEST_F(ControlObjectTest, ExtentSurvivesSaveAndLoad)
{
    ComPtr<IOleObject> object;
    fotoloft.As(&object);
    SIZEL extent{12345, 6789};
    ASSERT_EQ(object->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    ComPtr<IPersistStreamInit> persist;
    fotoloft.As(&persist);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    ComPtr<IPersistStreamInit> other;
    ASSERT_EQ(CFotoloft::Create(IID_IPersistStreamInit, reinterpret_cast<void**>(other.GetAddressOf())), S_OK);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other->Load(stream.Get()), S_OK);
    ComPtr<IOleObject> otherObject;
    other.As(&otherObject);
    SIZEL loaded{};
    otherObject->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 12345);
    EXPECT_EQ(loaded.cy, 6789);
    // A stream too short for the record is refused.
    ComPtr<IStream> shortStream;
    CreateStreamOnHGlobal(nullptr, TRUE, shortStream.GetAddressOf());
    shortStream->Write("\x00\x01", 2, nullptr);
    shortStream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(other->Load(shortStream.Get())));
    otherObject->SetClientSite(nullptr);
}

// Each control has its own work queue: a control made and destroyed later takes nothing
// away from the first, whose reports still reach it (and only it).
TEST_F(ControlObjectTest, ANewerControlDoesNotTakeOverTheNotifications)
{
    {
        ComPtr<IOleObject> newest;
        ASSERT_EQ(CFotoloft::Create(IID_IOleObject, reinterpret_cast<void**>(newest.GetAddressOf())), S_OK);
        newest->SetClientSite(nullptr);
    }
    TestSupport::DrainWindow window{control->tasks()};
    control->uploadReports()->TaskCompleted(UploadTaskResult{});
    control->uploadReports()->TaskEnded(UploadTaskResult{});
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return window.drains() >= 1 && control->tasks().Pending() == 0; }, 5s));
    TestSupport::PumpFor(50ms);
    ASSERT_EQ(receiver->count(), 1u);
    EXPECT_EQ(receiver->calls()[0].text, L"{\"name\":\"post_complete\"}\n");
}

// Once the container has let go, the control's registration for other apartments is gone:
// texts from any thread are dropped quietly instead of reaching a page that has left.
TEST_F(ControlObjectTest, AfterTheContainerLetsGoTextsAreDropped)
{
    control->sendJson(MakeLoadComplete());
    ASSERT_EQ(receiver->count(), 1u);
    ComPtr<IOleObject> object;
    ASSERT_EQ(fotoloft.As(&object), S_OK);
    receiver.Get()->AddRef();
    EXPECT_EQ(receiver.Get()->Release(), 2u);  // ours and the control's
    object->SetClientSite(nullptr);
    receiver.Get()->AddRef();
    EXPECT_EQ(receiver.Get()->Release(), 1u) << "the control kept the page's function after the page left";

    control->sendJson(MakeLoadComplete());
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        control->sendJson(MakeLoadComplete());
        sent = true;
    });
    const bool returned = TestSupport::PumpUntil([&] { return sent.load(); }, 10s);
    worker.join();
    ASSERT_TRUE(returned);
    TestSupport::PumpFor(50ms);
    EXPECT_EQ(receiver->count(), 1u);
}

TEST_F(ControlObjectTest, EachControlKeepsItsOwnSettings)
{
    // A second control, as a page in another frame of the same browser would embed it.
    ComPtr<IFotoloft> other;
    ASSERT_EQ(CFotoloft::Create(IID_IFotoloft, reinterpret_cast<void**>(other.GetAddressOf())), S_OK);
    const auto* otherControl = static_cast<CFotoloft*>(other.Get());

    BStr site(LR"({"name":"init","config":{"PostUrl":"https://site.example/up","Cookie":"sid=site",
        "Fields":{"album":"7"},"ThreadCount":2}})");
    BStr planted(LR"({"name":"init","config":{"PostUrl":"http://evil.example/take","Cookie":"x",
        "Fields":{"album":"evil","extra":"1"}}})");
    // The other frame's page goes first, then the site's page, then the other again.
    other->postMessage(planted.get());
    fotoloft->postMessage(site.get());
    BStr setFields(LR"({"name":"setFields","fields":{"owner":"evil"}})");
    other->postMessage(setFields.get());

    const AppConfig& mine = control->config();
    EXPECT_EQ(mine.PostUrl, L"https://site.example/up");
    EXPECT_EQ(mine.Cookie, "sid=site");
    EXPECT_EQ(mine.ThreadCount, 2);
    EXPECT_EQ(mine.Fields, (std::map<std::string, std::string>{{"album", "7"}}));
    const AppConfig& theirs = otherControl->config();
    EXPECT_EQ(theirs.PostUrl, L"http://evil.example/take");
    EXPECT_EQ(theirs.Fields, (std::map<std::string, std::string>{{"owner", "evil"}}));
    EXPECT_EQ(mine.uploadSettings().postUrl, L"https://site.example/up");

    ComPtr<IOleObject> object;
    ASSERT_EQ(other.As(&object), S_OK);
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
}

namespace {

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// A 2 x 2 24-bit BMP.
bool WriteTinyBitmap(const std::wstring& path)
{
    const unsigned char bytes[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                   40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // info header
                                   0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, sizeof bytes, &written, nullptr) && written == sizeof bytes;
    CloseHandle(file);
    return ok;
}

}  // namespace

TEST_F(ControlObjectTest, EachControlWritesItsOwnLog)
{
    // Two pages in one browser process each turn their control's log on; what the first
    // control's upload logs afterwards goes to the first page's file, which the second
    // page's "init" neither emptied nor took over.
    const std::wstring mineLog = Log::folder() + L"\\own-first.log";
    const std::wstring theirLog = Log::folder() + L"\\own-second.log";
    DeleteFileW(mineLog.c_str());
    DeleteFileW(theirLog.c_str());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring picture = std::wstring(temp) + L"own-log-picture.bmp";
    ASSERT_TRUE(WriteTinyBitmap(picture));
    std::wstring escaped;
    for (wchar_t c : picture)
        escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);

    ComPtr<IFotoloft> other;
    ASSERT_EQ(CFotoloft::Create(IID_IFotoloft, reinterpret_cast<void**>(other.GetAddressOf())), S_OK);
    // Nothing listens at port 1: the upload fails at once and says so in the log.
    BStr init(LR"({"name":"init","config":{"Debug":true,"LogFile":"own-first.log",
        "PostUrl":"http://127.0.0.1:1/up","RetryDelays":[]}})");
    fotoloft->postMessage(init.get());
    BStr add((L"{\"name\":\"addFile\",\"path\":\"" + escaped + L"\"}").c_str());
    fotoloft->postMessage(add.get());
    BStr otherInit(LR"({"name":"init","config":{"Debug":true,"LogFile":"own-second.log"}})");
    other->postMessage(otherInit.get());

    ASSERT_TRUE(control->StartListUpload());
    EXPECT_TRUE(TestSupport::PumpUntil(
        [&] { return ReadFileBytes(mineLog).find("upload failed") != std::string::npos; }, 20s))
        << "first log: " << ReadFileBytes(mineLog) << "\nsecond log: " << ReadFileBytes(theirLog);
    const std::string mine = ReadFileBytes(mineLog);
    const std::string theirs = ReadFileBytes(theirLog);
    // Both files begin with the line saying they were made; only the first holds the upload.
    EXPECT_NE(mine.find("\xE6\x97\xA5\xE5\xBF\x97"), std::string::npos) << mine;
    EXPECT_NE(theirs.find("\xE6\x97\xA5\xE5\xBF\x97"), std::string::npos) << theirs;
    EXPECT_EQ(theirs.find("upload failed"), std::string::npos) << theirs;

    ComPtr<IOleObject> object;
    ASSERT_EQ(other.As(&object), S_OK);
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object.Reset();
    other.Reset();
    DeleteFileW(picture.c_str());
}

namespace {

// A page function that sends "init" from inside itself a number of times.
class ResendingReceiver : public ComObject<ResendingReceiver, IDispatch> {
public:
    IFotoloft* control = nullptr;
    int resends = 0;
    int depth = 0;
    int deepest = 0;
    std::vector<std::wstring> texts;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++depth;
        deepest = std::max(deepest, depth);
        texts.emplace_back(params->rgvarg[0].bstrVal, SysStringLen(params->rgvarg[0].bstrVal));
        if (resends > 0) {
            --resends;
            BStr init(L"{\"name\":\"init\",\"config\":{}}");
            control->postMessage(init.get());
        }
        --depth;
        return S_OK;
    }
};

}  // namespace

TEST_F(ControlObjectTest, TextsSentFromInsideThePagesFunctionWaitUntilItReturns)
{
    // This control has no window: what the function sends is delivered after it returns.
    const ComPtr<ResendingReceiver> page = MakeComObject<ResendingReceiver>();
    page->control = fotoloft.Get();
    page->resends = 20;
    ASSERT_EQ(fotoloft->put_recvMessage(page.Get()), S_OK);
    BStr init(L"{\"name\":\"init\",\"config\":{}}");
    fotoloft->postMessage(init.get());
    EXPECT_EQ(page->deepest, 1);
    ASSERT_EQ(page->texts.size(), 21u);
    for (const std::wstring& text : page->texts)
        EXPECT_EQ(text, kLoadComplete);

    // A page that never stops is held to a bounded number of rounds, not a stack overflow.
    page->texts.clear();
    page->resends = 1000000;
    fotoloft->postMessage(init.get());
    EXPECT_EQ(page->deepest, 1);
    EXPECT_GE(page->texts.size(), 2u);
    EXPECT_LE(page->texts.size(), 100u);
    page->resends = 0;
    fotoloft->put_recvMessage(nullptr);
}
