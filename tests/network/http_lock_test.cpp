// The HTTP and URL routines take the ApiLock: while another thread holds it, each of
// them waits, so none can meet the pump thread's download steps half-way.
#include <atomic>
#include <thread>

#include "library/core/apilock.h"
#include "network/network_test_support.h"

namespace {

// Holds the ApiLock on a thread of its own until Release.
class LockHolder {
public:
    LockHolder() {
        thread_ = std::thread([this] {
            EnterApiLock();
            held_ = 1;
            while (release_.load() == 0) Sleep(1);
            LeaveApiLock();
        });
        while (held_.load() == 0) Sleep(1);
    }
    ~LockHolder() { Release(); }
    void Release() {
        release_ = 1;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
    std::atomic<int> held_{0}, release_{0};
};

}  // namespace

class HttpLockTest : public NetWorkTest {};

TEST_F(HttpLockTest, EveryRoutineWaitsWhileAnotherThreadHoldsTheLock) {
    Start();
    struct Case {
        const char* name;
        std::function<void()> call;
    } cases[] = {
        {"SetHttpProxy", [] { SetHttpProxy("127.0.0.1", 3128); }},
        {"StartHttpDownload", [] { StartHttpDownload(HttpMethodGet, "no-slashes", nullptr, 0, nullptr, nullptr, 0); }},
        {"GetHttpDownloadStatus", [] { GetHttpDownloadStatus(0, nullptr, nullptr, nullptr, nullptr); }},
        {"DeleteHttpDownload", [] { DeleteHttpDownload(0); }},
        {"DeleteAllHttpDownloads", [] { DeleteAllHttpDownloads(); }},
        {"ProcessHttpDownloads", [] { ProcessHttpDownloads(); }},
        {"ClearHttpDownloadState", [] { ClearHttpDownloadState(); }},
        {"OpenHttpConnection",
         [] { OpenHttpConnection("no-slashes", 0, nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"SplitHttpRequestUrl",
         [] { SplitHttpRequestUrl("http://h.test/a", 1, nullptr, nullptr, nullptr, nullptr); }},
        {"EncodeUrlText",
         [] {
             char text[16] = "a b";
             EncodeUrlText(text, 1, 0);
         }},
    };
    for (const Case& c : cases) {
        LockHolder holder;
        std::atomic<int> returned{0};
        std::thread caller([&] {
            c.call();
            returned = 1;
        });
        Sleep(30);
        EXPECT_EQ(0, returned.load()) << c.name << " ran while another thread held the lock";
        holder.Release();
        caller.join();
        EXPECT_EQ(1, returned.load()) << c.name;
    }
}
