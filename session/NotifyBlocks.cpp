#include "session/NotifyBlocks.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace qv
{

namespace
{

constexpr uint64_t nSeed = 0xcbf29ce484222325ULL;

uint64_t Mix(uint64_t h, uint64_t x)
{
    return h ^ (x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

uint64_t HashText(std::string_view sText)
{
    uint64_t h = nSeed;
    for (const char c : sText)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return Mix(h, sText.size());
}

bool IsNamed(const pugi::xml_node& node, const char* sName)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), sName) == 0;
}

// What a node adds to its parent's content besides its children: type, name, attributes in order, value.
uint64_t OwnHash(const pugi::xml_node& node)
{
    uint64_t h = Mix(nSeed, static_cast<uint64_t>(node.type()));
    h = Mix(h, HashText(node.name()));
    h = Mix(h, HashText(node.value()));
    for (const pugi::xml_attribute& attribute : node.attributes())
        h = Mix(Mix(h, HashText(attribute.name())), HashText(attribute.value()));
    return h;
}

bool SameOwn(const pugi::xml_node& a, const pugi::xml_node& b)
{
    if (a.type() != b.type() || std::strcmp(a.name(), b.name()) != 0 || std::strcmp(a.value(), b.value()) != 0)
        return false;
    pugi::xml_attribute x = a.first_attribute(), y = b.first_attribute();
    for (; x && y; x = x.next_attribute(), y = y.next_attribute())
        if (std::strcmp(x.name(), y.name()) != 0 || std::strcmp(x.value(), y.value()) != 0)
            return false;
    return !x && !y;
}

// The hash of each notify element's content, from one walk of the whole tree below context; and the blocks in
// document order. No recursion: an answer may nest elements thousands deep.
void HashBodies(const pugi::xml_node& context, std::vector<pugi::xml_node>& blocks,
                std::unordered_map<pugi::xml_node_struct*, uint64_t>& bodies)
{
    struct Frame
    {
        pugi::xml_node Node;
        pugi::xml_node Next; // the next child to visit
        uint64_t hContent;
    };
    std::vector<Frame> stack{{context, context.first_child(), nSeed}};
    while (!stack.empty())
    {
        if (const pugi::xml_node child = stack.back().Next)
        {
            stack.back().Next = child.next_sibling();
            if (IsNamed(child, "notify"))
                blocks.push_back(child);
            stack.push_back({child, child.first_child(), nSeed});
            continue;
        }
        const Frame done = stack.back();
        stack.pop_back();
        if (IsNamed(done.Node, "notify"))
            bodies[done.Node.internal_object()] = done.hContent;
        if (!stack.empty())
            stack.back().hContent = Mix(stack.back().hContent, Mix(OwnHash(done.Node), done.hContent));
    }
}

// One block's own parts: one walk of its subtree that leaves nested notify elements to their own blocks.
void ReadParts(NotifyBlock& block)
{
    for (pugi::xml_node part = block.Element.first_child(); part; part = part.next_sibling())
    {
        const bool bCreated = IsNamed(part, "created"), bModified = IsNamed(part, "modified");
        if (IsNamed(part, "deleted"))
            block.Deleted.push_back(part);
        if (!bCreated && !bModified)
            continue;
        std::vector<pugi::xml_node> pending{part.first_child()};
        while (!pending.empty())
        {
            const pugi::xml_node node = pending.back();
            if (!node)
            {
                pending.pop_back();
                continue;
            }
            pending.back() = node.next_sibling();
            if (node.type() != pugi::node_element || IsNamed(node, "notify"))
                continue;
            if (IsNamed(node, "m"))
            {
                if (bCreated)
                    block.Created.push_back(node);
                else
                    ++block.nModified;
            }
            else if (IsNamed(node, "appt"))
            {
                if (bModified)
                    block.ChangedAppts.push_back(node);
            }
            else if (IsNamed(node, "tag"))
                block.Tags.push_back(node);
            else if (IsNamed(node, "folder"))
                block.Folders.push_back(node);
            pending.push_back(node.first_child());
        }
    }
}

} // namespace

bool SameBody(const pugi::xml_node& a, const pugi::xml_node& b)
{
    std::vector<std::pair<pugi::xml_node, pugi::xml_node>> pending{{a.first_child(), b.first_child()}};
    while (!pending.empty())
    {
        auto& [x, y] = pending.back();
        if (!x || !y)
        {
            if (x || y)
                return false; // one has more children
            pending.pop_back();
            continue;
        }
        const pugi::xml_node nodeA = x, nodeB = y;
        x = x.next_sibling();
        y = y.next_sibling();
        if (!SameOwn(nodeA, nodeB))
            return false;
        pending.emplace_back(nodeA.first_child(), nodeB.first_child());
    }
    return true;
}

std::vector<NotifyBlock> ReadNotifyBlocks(const pugi::xml_node& context)
{
    std::vector<pugi::xml_node> elements;
    std::unordered_map<pugi::xml_node_struct*, uint64_t> bodies;
    if (context)
        HashBodies(context, elements, bodies);

    std::vector<NotifyBlock> blocks(elements.size());
    for (size_t i = 0; i < elements.size(); ++i)
    {
        NotifyBlock& block = blocks[i];
        block.Element = elements[i];
        // A repeat only when the hashes agree and the contents really do; an equal content is read once more
        // to be sure, which costs no more than reading the block would.
        block.bRepeat = i > 0 && bodies[elements[i].internal_object()] == bodies[elements[i - 1].internal_object()] &&
                        SameBody(elements[i], elements[i - 1]);
        if (!block.bRepeat)
            ReadParts(block);
    }
    return blocks;
}

} // namespace qv
