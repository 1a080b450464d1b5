// kestrel-list: the symbol rows of Pascal sources, on the command line.
#include "HostBufferSource.h"
#include "ListerOptions.h"
#include "MappedFile.h"
#include "RowFormatter.h"
#include "ScanRows.h"

#include <cstdio>
#include <span>

using namespace kestrel;

namespace {

// Scans the buffer as the add-in does and hands each row to be printed to
// `onRow`, in source order.
template <class Source, class OnRow>
void ListRows(Source& source, const ListerOptions& options, OnRow&& onRow) {
    ScanRows(source, ReservedWords(), options.headings, [&](SymbolRow&& row) {
        if (options.Shows(row.category)) {
            onRow(std::move(row));
        }
    });
}

void Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

constexpr size_t kFlushAt = 1 << 16;

} // namespace

int main(int argc, char** argv) {
    ListerOptions options;
    std::string error;
    if (!ParseListerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "kestrel-list: %s\n%s", error.c_str(), ListerUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(ListerUsage(), stdout);
        return 0;
    }

    int status = 0;
    const bool several = options.files.size() > 1;
    bool first = true;
    for (const std::string& file : options.files) {
        MappedFile mapped;
        const FileResult read = mapped.Open(file == "-" ? "/dev/stdin" : file);
        if (!read) {
            std::fflush(stdout);
            std::fprintf(stderr, "kestrel-list: %s: %s\n", file.c_str(), read.error.c_str());
            status = 1;
            continue;
        }
        // The file is served as the editor host would serve its buffer.
        HostBufferSource source(mapped.Bytes());
        const TextEncoding encoding = source.Encoding();
        std::string out;
        if (options.json) {
            // Streamed: each row is printed as the scan finds it.
            const std::string name = several ? file : std::string();
            ListRows(source, options, [&](SymbolRow&& row) {
                AppendJsonRows(out, std::span(&row, 1), encoding, name);
                if (out.size() >= kFlushAt) {
                    Write(out);
                    out.clear();
                }
            });
        } else {
            // The table needs every row for its column widths.
            std::vector<SymbolRow> rows;
            ListRows(source, options, [&](SymbolRow&& row) { rows.push_back(std::move(row)); });
            if (several) {
                out += first ? "" : "\n";
                out += "==> " + file + " <==\n";
            }
            AppendTable(out, rows, encoding);
        }
        first = false;
        Write(out);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kestrel-list: cannot write the output\n");
        return 1;
    }
    return status;
}
