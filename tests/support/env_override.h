// Sets or removes environment variables for the length of a test and puts
// the old values back afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varkit::testing {

class EnvOverride {
  public:
    EnvOverride() = default;
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;
    ~EnvOverride() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

    void set(const std::string& name, const std::string& value) {
        save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void remove(const std::string& name) {
        save(name);
        unsetenv(name.c_str());
    }

  private:
    void save(const std::string& name) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace varkit::testing
