// The notify blocks of an answer's context, read in one pass: each block's own parts, and whether it repeats the
// block before it. The work stays linear in the answer's size however the blocks are nested or repeated.
#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <vector>

namespace qv
{

struct NotifyBlock
{
    pugi::xml_node Element;
    bool bRepeat = false;                // the same content as the block before it in document order
    std::vector<pugi::xml_node> Created; // messages under its "created"
    size_t nModified = 0;                // messages under its "modified"
    std::vector<pugi::xml_node> ChangedAppts; // appointments under its "modified"
    std::vector<pugi::xml_node> Deleted; // its "deleted" elements
    std::vector<pugi::xml_node> Tags;    // tags under "created" or "modified", in document order
    std::vector<pugi::xml_node> Folders; // folders under "created" or "modified", in document order
};

// Every notify element below context, in document order. A block nested in another is its own block: what lies
// inside it is not read again as part of the outer one.
std::vector<NotifyBlock> ReadNotifyBlocks(const pugi::xml_node& context);

// Whether two elements have the same content after their start tags, as their serialised texts would.
bool SameBody(const pugi::xml_node& a, const pugi::xml_node& b);

} // namespace qv
