// Test harness around the engine core: owns the dictionary images and the memory blocks, and
// collects the candidates of an association.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "WaDictWriter.h"
#include "iWWA.h"

namespace watest {

// A block of `size` bytes aligned for the engine (aligned_alloc wants a multiple of 16).
struct Block {
    explicit Block(size_t size)
        : p(static_cast<uint8_t *>(std::aligned_alloc(16, (size + 15) & ~size_t{15})), &std::free) {
    }
    std::unique_ptr<uint8_t, decltype(&std::free)> p;
    uint8_t *get() const { return p.get(); }
};

// A dictionary image kept at an aligned address (iWWA_Init may descramble it in place).
struct Image {
    explicit Image(const wadict::Bytes &b) : bytes(b.size()), block(b.size() + 16) {
        std::copy(b.begin(), b.end(), block.get());
    }
    uint8_t *data() const { return block.get(); }
    uint32_t size() const { return static_cast<uint32_t>(bytes); }
    size_t bytes;
    Block block;
};

class Engine {
  public:
    // Initialises an engine over the images; code() tells the outcome.
    Engine(const wadict::Bytes &system, const wadict::Bytes *user = nullptr)
        : system_(system), user_(user ? *user : wadict::Bytes{}), hasUser_(user != nullptr) {
        uint32_t size = 0;
        code_ = iWWA_GetEngineSize(system_.data(), system_.size(), UserData(), user_.size(), &size);
        if (code_ != iWWA_OK)
            return;
        memory_ = std::make_unique<Block>(size);
        code_ = iWWA_Init(system_.data(), system_.size(), UserData(), user_.size(), memory_->get(),
                          size, &engine_);
    }
    ~Engine() {
        if (engine_)
            iWWA_Uninit(&engine_);
    }
    int code() const { return code_; }
    iWWA_Engine *get() const { return engine_; }

  private:
    const void *UserData() const { return hasUser_ ? user_.data() : nullptr; }
    Image system_;
    Image user_;
    bool hasUser_;
    int code_ = -1;
    std::unique_ptr<Block> memory_;
    iWWA_Engine *engine_ = nullptr;
};

class Session {
  public:
    explicit Session(const Engine &engine) {
        uint32_t size = 0;
        code_ = iWWA_Session_GetSize(engine.get(), &size);
        if (code_ != iWWA_OK)
            return;
        memory_ = std::make_unique<Block>(size);
        code_ = iWWA_Session_Init(engine.get(), memory_->get(), size, &session_);
        if (code_ != iWWA_OK)
            return;
        iWWA_Session_SetParam(session_, iWWA_PARAM_CALLBACK,
                              reinterpret_cast<const void *>(&Collect));
        iWWA_Session_SetParam(session_, iWWA_PARAM_USERDATA, &got_);
    }
    ~Session() {
        if (session_)
            iWWA_Session_Uninit(&session_);
    }
    int code() const { return code_; }
    iWWA_Session *get() const { return session_; }

    int Set(int32_t param, int32_t value) { return iWWA_Session_SetParam(session_, param, &value); }
    // The candidates of one association, best first; *rc receives the code.
    std::vector<std::u16string> Associate(const std::u16string &text, bool recursive,
                                          int *rc = nullptr) {
        got_.clear();
        const int r = iWWA_Session_Associate(
            session_, reinterpret_cast<const iWWA_Char *>(text.c_str()), recursive ? 1 : 0);
        if (rc)
            *rc = r;
        return got_;
    }
    int Adjust(const std::u16string &word) {
        return iWWA_Session_AdjustWord(session_, reinterpret_cast<const iWWA_Char *>(word.c_str()));
    }
    wadict::Bytes UserDict() const {
        const void *block = nullptr;
        uint32_t length = 0;
        if (iWWA_Session_GetUserDict(session_, &block, &length) != iWWA_OK)
            return {};
        const auto *b = static_cast<const uint8_t *>(block);
        return wadict::Bytes(b, b + length);
    }

  private:
    static void Collect(void *user, const iWWA_Char *text, uint32_t length) {
        static_cast<std::vector<std::u16string> *>(user)->emplace_back(
            reinterpret_cast<const char16_t *>(text), length);
    }
    int code_ = -1;
    std::unique_ptr<Block> memory_;
    iWWA_Session *session_ = nullptr;
    std::vector<std::u16string> got_;
};

}  // namespace watest
