#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace vorna::test {

// Sets (or unsets) one environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name)
    {
        if (qEnvironmentVariableIsSet(name))
            previous_ = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (previous_)
            qputenv(name_, *previous_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> previous_;
};

} // namespace vorna::test
