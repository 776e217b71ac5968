#pragma once
// Cuts a byte stream into lines at each line feed. Linear: only newly appended bytes are searched.
#include <cstddef>
#include <string>
#include <string_view>

namespace tallyvane {

class LineSplitter {
public:
    // More unterminated bytes than this are discarded; exactly this many are kept.
    static constexpr std::size_t maxUnterminated = 8'000'000;

    // Calls `onLine(std::string_view)` for each complete line, without its line feed, in order.
    template <typename OnLine>
    void append(std::string_view bytes, OnLine&& onLine) {
        std::size_t start = 0;
        for (std::size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n', start)) {
            if (buffer_.empty()) {
                onLine(bytes.substr(start, lf - start));
            } else {
                buffer_.append(bytes.substr(start, lf - start));
                onLine(std::string_view(buffer_));
                buffer_.clear();
            }
            start = lf + 1;
        }
        buffer_.append(bytes.substr(start));
        if (buffer_.size() > maxUnterminated) clear();
    }

    std::size_t buffered() const { return buffer_.size(); }
    void clear() { std::string().swap(buffer_); }

private:
    std::string buffer_;
};

}  // namespace tallyvane
