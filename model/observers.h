#pragma once
// A list of callbacks told before a published value changes. Main thread only.
#include <cstdint>
#include <functional>
#include <map>

namespace tallyvane {

class WillChangeSignal {
public:
    using Token = std::uint64_t;
    Token connect(std::function<void()> observer) {
        observers_.emplace(++last_, std::move(observer));
        return last_;
    }
    void disconnect(Token token) { observers_.erase(token); }
    void notify() const {
        for (const auto& [token, observer] : observers_) observer();
    }

private:
    std::map<Token, std::function<void()>> observers_;
    Token last_ = 0;
};

}  // namespace tallyvane
