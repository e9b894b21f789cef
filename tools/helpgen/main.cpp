// helpgen FORMAT SOURCE OUTPUT: writes the help or read-me source SOURCE as a WinHelp
// file (hlp), an HTML page (html) or a Write document (wri). Exit code 1 with the
// reason on stderr when the source is malformed or OUTPUT cannot be written (no
// partial OUTPUT is left behind).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "document.h"
#include "html.h"
#include "winhelp.h"
#include "wri.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "helpgen: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail("usage: helpgen hlp|html|wri SOURCE OUTPUT");
    std::string format = argv[1], sourcePath = argv[2], outputPath = argv[3];
    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) return Fail("cannot read " + sourcePath);
    std::ostringstream source;
    source << in.rdbuf();

    helpgen::Document document;
    std::string error, bytes;
    if (!helpgen::ParseDocument(source.str(), &document, &error)) return Fail(sourcePath + ": " + error);
    if (format == "hlp") {
        if (!helpgen::WriteWinHelp(document, &bytes, &error)) return Fail(sourcePath + ": " + error);
    } else if (format == "html") {
        bytes = helpgen::WriteHtml(document);
    } else if (format == "wri") {
        bytes = helpgen::WriteWrite(document);
    } else {
        return Fail("unknown format " + format);
    }

    std::string temporary = outputPath + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return Fail("cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Fail("cannot write " + outputPath);
    }
    return 0;
}
