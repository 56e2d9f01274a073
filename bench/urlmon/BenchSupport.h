// What the URL monitor benchmarks add to the X session helpers: the 5 MB text.
#pragma once

#include "support/TestEnv.h"
#include "urlmon/XSession.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace bench {

using namespace xsession;

// Five megabytes of text whose first word is an FTP URL, in lines like a copied listing.
inline std::string FiveMegabyteText() {
    std::string text = "ftp://host/dir/file.zip\r\n";
    while (text.size() < 5 * 1024 * 1024) {
        text += "-rw-r--r--   1 user group  123456 Dec  7 04:00 some file name.txt\r\n";
    }
    text.resize(5 * 1024 * 1024);
    return text;
}

} // namespace bench
