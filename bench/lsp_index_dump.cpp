// Indexes Pascal sources on one thread as kestrel-lsp's workspace index does,
// and prints every entry, so that the indexes of two builds can be compared
// byte for byte; with --quiet it prints nothing, for profiling the indexing.
// With --structure it prints what the structure reader finds in each file
// instead, checkpoints and all. With --query it then answers a workspace query ROUNDS times and
// prints the answers' names and the CPU time a query took (for profiling the query); --query
// may be given more than once, and each query's answer is headed by the query.
//
//     lsp-index-dump [--quiet] [--utf8] [--structure] [--query TEXT ROUNDS]...
//                    FILE... | --list LIST-FILE
#include "features/SourceStructure.h"
#include "index/WorkspaceIndexer.h"

#include "ReadFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace kestrel::lsp;
using kestrel::FileBytes;
using kestrel::ReadEnd;
using kestrel::ReadFile;

namespace {

void Print(const FileSymbols& file) {
    std::cout << file.uri << '\n';
    for (size_t s = 0; s < file.symbols.size(); ++s) {
        const IndexedSymbol& symbol = file.symbols[s];
        const SearchKey& key = file.keys[s];
        std::cout << ' ' << static_cast<int>(symbol.kind) << ' ' << static_cast<int>(symbol.role)
                  << ' ' << symbol.line << ':' << symbol.from << '-' << symbol.to << " ["
                  << file.Text(symbol.name) << "] in [" << file.Text(symbol.container) << "] as ["
                  << file.Text(symbol.text) << "] folded ["
                  << std::string_view(file.folded).substr(key.offset, key.length) << "] name at "
                  << key.nameStart << '\n';
    }
}

void PrintStructure(const std::string& path) {
    FileBytes file;
    if (ReadFile(path, {}, file).end != ReadEnd::Complete) {
        return;
    }
    const std::string text(file.View());
    const SourceStructure s = ReadSourceStructure(text);
    std::cout << path << "\n sections " << s.interfaceStart << ' ' << s.implementationStart << ' '
              << s.sectionsEnd << '\n';
    for (const auto& type : s.types) {
        std::cout << " type " << type.name << ' ' << type.nameStart << '-' << type.nameEnd << ' '
                  << type.end << ' ' << type.broken << ' ' << static_cast<int>(type.kind) << ' '
                  << type.detail << ' ' << type.parent << '\n';
    }
    for (const auto& routine : s.routines) {
        std::cout << " routine " << static_cast<int>(routine.kind) << ' ' << routine.qualifier
                  << ' ' << routine.name << ' ' << routine.start << '-' << routine.end << ' '
                  << routine.nameStart << '-' << routine.nameEnd << " (" << routine.parameters
                  << ") " << routine.owner << ' ' << routine.body << ' ' << routine.bodyEnd << '\n';
    }
    for (const auto& used : s.uses) {
        std::cout << " uses " << used << '\n';
    }
    for (const auto& span : s.comments) {
        std::cout << " comment " << span.start << '-' << span.end << '\n';
    }
    for (const auto& span : s.regions) {
        std::cout << " region " << span.start << '-' << span.end << '\n';
    }
    for (const auto& c : s.checkpoints) {
        std::cout << " checkpoint " << c.token.start << ' ' << c.previous.start << ' ' << c.read
                  << ' ' << c.openRegions.size() << ' ' << c.comments << ' ' << c.regions << ' '
                  << c.types << ' ' << c.routines << ' ' << c.uses << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    bool structure = false;
    PositionEncoding encoding = PositionEncoding::Utf16;
    std::vector<std::string> paths;
    std::vector<std::pair<std::string, int>> queries; // and their rounds
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--quiet") {
            quiet = true;
        } else if (argument == "--structure") {
            structure = true;
        } else if (argument == "--utf8") {
            encoding = PositionEncoding::Utf8;
        } else if (argument == "--query" && i + 2 < argc) {
            const std::string query = argv[++i];
            queries.emplace_back(query, std::stoi(argv[++i]));
        } else if (argument == "--list" && i + 1 < argc) {
            std::ifstream list(argv[++i]);
            for (std::string line; std::getline(list, line);) {
                if (!line.empty()) {
                    paths.push_back(line);
                }
            }
        } else {
            paths.push_back(argument);
        }
    }
    if (structure) {
        for (const std::string& path : paths) {
            PrintStructure(path);
        }
        return 0;
    }
    size_t entries = 0;
    WorkspaceIndex index;
    for (const std::string& path : paths) {
        std::string error;
        const auto file = IndexSourceFile(path, encoding, error);
        if (!file) {
            std::cerr << path << ": " << error << '\n';
            continue;
        }
        entries += file->symbols.size();
        if (!quiet) {
            Print(*file);
        }
        if (!queries.empty()) {
            index.SetFromDisk(path, file);
        }
    }
    std::cerr << paths.size() << " files, " << entries << " entries\n";
    for (const auto& [query, rounds] : queries) {
        if (queries.size() > 1) {
            std::cout << "query [" << query << "]\n";
        }
        std::vector<SymbolMatch> matches;
        const std::clock_t start = std::clock();
        for (int round = 0; round < rounds; ++round) {
            matches = index.Query(query, 200);
        }
        const double ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        for (const SymbolMatch& match : matches) {
            const IndexedSymbol& symbol = *match.symbol;
            std::cout << match.file->uri << ' ' << symbol.line << ':' << symbol.from << '-'
                      << symbol.to << ' ' << static_cast<int>(symbol.kind) << ' '
                      << match.file->Text(symbol.text) << " in "
                      << match.file->Text(symbol.container) << '\n';
        }
        std::cerr << "query [" << query << "]: " << ms / std::max(rounds, 1) << " ms CPU\n";
    }
    return 0;
}
