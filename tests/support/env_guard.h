#pragma once

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brindlewick::test {

// Sets environment variables for the length of a scope and restores each one
// (or removes it) afterwards. A null value removes the variable.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) { Set(name, value.c_str()); }
    EnvGuard(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            Set(name, value);
        }
    }
    ~EnvGuard() {
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved) {
            if (saved->value) {
                ::setenv(saved->name, saved->value->c_str(), 1);
            } else {
                ::unsetenv(saved->name);
            }
        }
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    // Changes a variable within the scope; its value before the guard is what
    // comes back at the end.
    void Set(const char* name, const char* value) {
        Saved saved{name, std::nullopt};
        if (const char* old = std::getenv(name)) {
            saved.value = old;
        }
        saved_.push_back(std::move(saved));
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }

private:
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved_;
};

}  // namespace brindlewick::test
