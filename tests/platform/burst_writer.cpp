// Test helper: enlarges its output pipe, writes argv[1] bytes of a known pattern in one go and
// exits at once, so that more than one read's worth is still in the pipe when it is gone.
#include <fcntl.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::size_t size = std::stoul(argv[1]);
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, static_cast<int>(size));
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, size - done);
        if (written <= 0) return 1;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}
