#include "sim_port.h"

#include "tools/utf8_arguments.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace qm487sim {

namespace {

class CFileOutput : public COutput {
public:
    CFileOutput(std::FILE* f, std::string name) : m_file(f), m_name(std::move(name)) {}
    ~CFileOutput() override {
        if (m_file != stdout)
            std::fclose(m_file);
    }

    bool Write(const unsigned char* data, std::size_t n, std::string& error) override {
        // Flushed every chunk: a reader of the pipe or file sees lines as they are paced.
        if (std::fwrite(data, 1, n, m_file) != n || std::fflush(m_file) != 0) {
            error = "cannot write to " + m_name + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }

    void Drain() override { std::fflush(m_file); }

private:
    std::FILE* m_file;
    std::string m_name;
};

}  // namespace

std::unique_ptr<COutput> OpenFileOutput(const std::string& path, std::string& error) {
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);  // a carriage return must stay alone
#endif
        return std::unique_ptr<COutput>(new CFileOutput(stdout, "standard output"));
    }
    std::FILE* f = OpenUtf8File(path, "wb");
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<COutput>(new CFileOutput(f, path));
}

}  // namespace qm487sim
