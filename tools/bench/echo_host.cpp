// A bare native-messaging host: every frame comes back as it came. The
// yardstick for the start-up of qorvclientatm-host.
#include <cstdint>
#include <cstdio>
#include <string>

int main() {
    for (;;) {
        uint32_t length = 0;
        if (std::fread(&length, 1, sizeof length, stdin) != sizeof length) return 0;
        if (length > (1u << 20)) return 1;
        std::string body(length, '\0');
        if (std::fread(body.data(), 1, length, stdin) != length) return 0;
        std::fwrite(&length, 1, sizeof length, stdout);
        std::fwrite(body.data(), 1, length, stdout);
        std::fflush(stdout);
    }
}
