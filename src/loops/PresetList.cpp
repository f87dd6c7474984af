#include "loops/PresetList.h"

#include "loops/LoopFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace zumbal {

namespace {

constexpr std::streamsize kHeadBytes = 4096;

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

bool presetNameLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the runs of digits by value: without leading zeros,
            // the longer run is the larger number.
            size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            std::string_view da(a.data() + i, ie - i), db(b.data() + j, je - j);
            da.remove_prefix(std::min(da.find_first_not_of('0'), da.size()));
            db.remove_prefix(std::min(db.find_first_not_of('0'), db.size()));
            if (da.size() != db.size())
                return da.size() < db.size();
            if (da != db)
                return da < db;
            i = ie;
            j = je;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // equal but for case or leading zeros: a stable, total order
}

bool isTaggedFile(const std::filesystem::path& path, bool (*tagged)(std::string_view firstLine)) {
    std::error_code typeError;
    if (!std::filesystem::is_regular_file(path, typeError))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string head(kHeadBytes, '\0');
    file.read(head.data(), kHeadBytes);
    head.resize(static_cast<size_t>(file.gcount()));
    return tagged(firstLine(head));
}

std::vector<std::string> listTaggedFiles(const std::filesystem::path& folder,
                                         bool (*tagged)(std::string_view firstLine)) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (isTaggedFile(it->path(), tagged))
            names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end(), presetNameLess);
    return names;
}

std::vector<std::string> listLoopFiles(const std::filesystem::path& folder) {
    return listTaggedFiles(folder, hasLoopFileTag);
}

} // namespace zumbal
