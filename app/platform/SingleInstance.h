// SingleInstance: a named lock held for the life of the process, so that a second copy of the
// program can tell that one runs. It is a lock on "<name>.lock" in $XDG_RUNTIME_DIR (when that is
// usable, else "/tmp/<name>-<uid>.lock"), which the system frees when the process ends, however
// it ends.
#pragma once

#include <string>

class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the lock `name`; false with *alreadyExists set when another process holds it (and
    // false without it when the lock file cannot be made).
    bool Create(const std::string &name, bool *alreadyExists);
    void Close();

  private:
    int m_fd = -1;
};
