// What a program that closes during a send does: loads libParvox.so (argument 1), sends one
// message on a thread of its own, and exits after argument 2 milliseconds, the send under way.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    void* parvox = dlopen(argv[1], RTLD_NOW);
    const auto send = parvox ? reinterpret_cast<int (*)(const char*, const char*)>(dlsym(parvox, "SendParvox")) : nullptr;
    if (!send) return 3;
    std::thread([send] { std::printf("result %d\n", send("+79161234567", "under way at exit")); }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
}
