// A stand-in for the SMS library, built as libParvox.so for the tests. It records every call
// and, besides the two exports the program knows, exports controls for a test in the same
// process: hold the calls (they then block until released), fail them, and read what was sent.
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex mutex;
std::condition_variable released;
bool held = false;
int result = 1;
int entered = 0;
int returned = 0;
std::string record;  // "<address>\t<text>\n" per call, in order

}  // namespace

extern "C" {

int SendParvox(const char* address, const char* text) {
    std::unique_lock lock(mutex);
    ++entered;
    record += std::string(address) + "\t" + text + "\n";
    released.wait(lock, [] { return !held; });
    ++returned;
    return result;
}

int SendEmailCore() { return 0; }

// While held, every call blocks until the hold is lifted.
void FakeParvoxHold(int hold) {
    std::lock_guard lock(mutex);
    held = hold != 0;
    released.notify_all();
}

void FakeParvoxSetResult(int value) {
    std::lock_guard lock(mutex);
    result = value;
}

void FakeParvoxCounts(int* enteredCount, int* returnedCount) {
    std::lock_guard lock(mutex);
    *enteredCount = entered;
    *returnedCount = returned;
}

// Copies the record, cut to `size` - 1 bytes; gives its full length.
size_t FakeParvoxRecord(char* buffer, size_t size) {
    std::lock_guard lock(mutex);
    if (size > 0) {
        const size_t n = record.size() < size - 1 ? record.size() : size - 1;
        std::memcpy(buffer, record.data(), n);
        buffer[n] = '\0';
    }
    return record.size();
}

void FakeParvoxReset() {
    std::lock_guard lock(mutex);
    held = false;
    result = 1;
    entered = returned = 0;
    record.clear();
    released.notify_all();
}
}
