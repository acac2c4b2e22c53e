// The controls of the fake SMS library (tests/support/FakeParvoxLibrary.cpp), reached through
// the same loaded copy as the reporter's: dlopen of the same file gives the same library.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <string>
#include <vector>

namespace movira::test {

class FakeParvox {
public:
    struct Call {
        std::string address;
        std::string text;
        friend bool operator==(const Call&, const Call&) = default;
    };

    explicit FakeParvox(const std::string& folder) {
        handle_ = dlopen((folder + "/libParvox.so").c_str(), RTLD_NOW);
        if (!handle_) return;
        hold_ = reinterpret_cast<void (*)(int)>(dlsym(handle_, "FakeParvoxHold"));
        setResult_ = reinterpret_cast<void (*)(int)>(dlsym(handle_, "FakeParvoxSetResult"));
        counts_ = reinterpret_cast<void (*)(int*, int*)>(dlsym(handle_, "FakeParvoxCounts"));
        record_ = reinterpret_cast<size_t (*)(char*, size_t)>(dlsym(handle_, "FakeParvoxRecord"));
        reset_ = reinterpret_cast<void (*)()>(dlsym(handle_, "FakeParvoxReset"));
        if (reset_) reset_();
    }
    ~FakeParvox() {
        if (!handle_) return;
        if (reset_) reset_();  // lets a call that is still held return
        dlclose(handle_);
    }
    FakeParvox(const FakeParvox&) = delete;
    FakeParvox& operator=(const FakeParvox&) = delete;

    bool ok() const { return handle_ && hold_ && setResult_ && counts_ && record_ && reset_; }
    void hold(bool held) { hold_(held ? 1 : 0); }
    void setResult(int result) { setResult_(result); }
    int entered() const { return count(0); }
    int returned() const { return count(1); }

    // Every call so far, in order.
    std::vector<Call> calls() const {
        std::string text(record_(nullptr, 0) + 1, '\0');
        text.resize(record_(text.data(), text.size()));
        std::vector<Call> calls;
        size_t from = 0;
        for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
            const std::string line = text.substr(from, end - from);
            const size_t tab = line.find('\t');
            calls.push_back({line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
            from = end + 1;
        }
        return calls;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> texts;
        for (const Call& call : calls()) texts.push_back(call.text);
        return texts;
    }

private:
    int count(int which) const {
        int values[2] = {0, 0};
        counts_(&values[0], &values[1]);
        return values[which];
    }

    void* handle_ = nullptr;
    void (*hold_)(int) = nullptr;
    void (*setResult_)(int) = nullptr;
    void (*counts_)(int*, int*) = nullptr;
    size_t (*record_)(char*, size_t) = nullptr;
    void (*reset_)() = nullptr;
};

}  // namespace movira::test
