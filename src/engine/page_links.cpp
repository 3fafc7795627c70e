// Links among the pages, for a run to know a file by whichever path leads
// to it.
#include "engine/page_links.h"

#include "engine/template_paths.h"

namespace pellandrix {

std::unordered_map<std::string, CRunFiles::Link> FindPageLinks(const COutputGuard& guard) {
    std::unordered_map<std::string, CRunFiles::Link> links;
    for (const FolderHandle& folder : guard.TargetFolders()) {
        const std::string& at = *guard.TargetPathOf(folder->id);
        for (const std::string& name : LinksIn(folder)) {
            const std::vector<SFilePlace> chain = LinkChain(SFilePlace{folder, name});
            CRunFiles::Link link;
            for (const SFilePlace& hop : chain) {
                const std::string* hopFolder = guard.TargetPathOf(hop.folder->id);
                if (hopFolder == nullptr) {
                    link.through.clear();
                    break;
                }
                link.through.push_back(JoinPath(*hopFolder, hop.name));
            }
            if (!link.through.empty()) {
                link.ends = chain.back().Status().has_value();
                links.emplace(JoinPath(at, name), std::move(link));
            }
        }
    }
    return links;
}

}  // namespace pellandrix
