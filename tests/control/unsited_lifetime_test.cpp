// A control that no container ever sites (a script's `new ActiveXObject`, a host that skips
// SetClientSite) goes with its last reference: the built DLL, created through its own class
// factory fifty times, each time talked to from a worker thread, leaves no object, no thread and
// no memory behind, and may unload.
#include "TestSupport.h"

#include "control/FotoloftIds.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>


using namespace std::chrono_literals;
using Vantor::ComPtr;

namespace {

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(__stdcall*)();

int ThreadsOfThisProcess()
{
    const Vantor::UniqueKernelHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    return count;
}

// Committed private memory, walked region by region (the process counters under Wine leave out
// much of what a DLL's heaps commit).
SIZE_T PrivateCommitted()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at)
            break;
    }
    return total;
}

class UnsitedLifetimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        dll = LoadLibraryW(TestSupport::BuiltDllPath().c_str());
        ASSERT_NE(dll, nullptr);
        getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(dll, "DllGetClassObject"));
        canUnloadNow = reinterpret_cast<CanUnloadNowFn>(GetProcAddress(dll, "DllCanUnloadNow"));
        ASSERT_TRUE(getClassObject && canUnloadNow);
    }
    void TearDown() override
    {
        // A module whose objects still live stays loaded: unloading it under them would crash
        // the test instead of failing it.
        if (dll && canUnloadNow && canUnloadNow() == S_OK)
            FreeLibrary(dll);
        CoUninitialize();
    }

    // One life: made, given a page function and a message, and let go, never sited.
    void OneLife()
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_Fotoloft, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        ComPtr<IFotoloft> control;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IFotoloft, reinterpret_cast<void**>(control.GetAddressOf())),
                  S_OK);
        factory.Reset();
        const auto receiver = Vantor::MakeComObject<TestSupport::Receiver>();
        ASSERT_EQ(control->put_recvMessage(receiver.Get()), S_OK);
        const Vantor::BStr init(LR"({"name":"init","data":{"ThreadCount":2}})");
        ASSERT_EQ(control->postMessage(init.get()), S_OK);
        TestSupport::PumpFor(5ms);
        control.Reset();
        // The page function goes with the control.
        receiver.Get()->AddRef();
        EXPECT_EQ(receiver.Get()->Release(), 1u) << "the control outlived its last reference";
    }

    HMODULE dll = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

}  // namespace

TEST_F(UnsitedLifetimeTest, FiftyLivesLeaveNothingBehindAndTheModuleMayUnload)
{
    for (int i = 0; i < 5; ++i)
        ASSERT_NO_FATAL_FAILURE(OneLife());
    EXPECT_EQ(canUnloadNow(), S_OK) << "an object of the module is still alive";
    const int threadsBefore = ThreadsOfThisProcess();
    const SIZE_T memoryBefore = PrivateCommitted();

    for (int i = 0; i < 50; ++i)
        ASSERT_NO_FATAL_FAILURE(OneLife());

    EXPECT_EQ(canUnloadNow(), S_OK) << "an object of the module is still alive";
    // Threads that end after their control may take a moment to go.
    TestSupport::PumpUntil([&] { return ThreadsOfThisProcess() <= threadsBefore; }, 10s);
    EXPECT_LE(ThreadsOfThisProcess(), threadsBefore);
    const SIZE_T memoryAfter = PrivateCommitted();
    EXPECT_LT(memoryAfter, memoryBefore + 8u * 1024 * 1024)
        << "committed private memory grew from " << memoryBefore << " to " << memoryAfter;
}
