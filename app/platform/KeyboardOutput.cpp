#include "KeyboardOutput.h"

#include <mutex>

#include "X11KeyboardOutput.h"

namespace {

std::mutex g_outputMutex;
std::unique_ptr<KeyboardOutput> g_output;

}  // namespace

KeyboardOutput &TheKeyboardOutput() {
    std::lock_guard lock(g_outputMutex);
    if (!g_output)
        g_output = std::make_unique<X11KeyboardOutput>();
    return *g_output;
}

std::unique_ptr<KeyboardOutput> SetKeyboardOutput(std::unique_ptr<KeyboardOutput> output) {
    std::lock_guard lock(g_outputMutex);
    std::swap(g_output, output);
    return output;
}
