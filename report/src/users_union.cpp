#include "users_union.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "civil_time.h"
#include "day_figures.h"

namespace {

// The union's order is the enum's: active on any PC counts as active, then
// locked, then suspended, then off.
int Rank(State state)
{
    static_assert((int)State::Active < (int)State::Locked && (int)State::Locked < (int)State::Suspended &&
                  (int)State::Suspended < (int)State::Off, "State is in the union's order");
    return (int)state;
}

// Some of one source's intervals, and where its files begin in the merged list.
struct Part {
    const Interval* intervals;
    size_t count;
    uint32_t fileOffset;
};

struct Edge {
    CivilSeconds at;
    int delta;
    const Interval* interval;
    uint32_t fileOffset;
};

// The union of several sources' intervals of one day, line references
// renumbered into the merged list of files.
std::vector<Interval> UniteIntervals(const std::vector<Part>& parts)
{
    std::vector<Edge> edges;
    for (const Part& part : parts) {
        for (const Interval* i = part.intervals; i != part.intervals + part.count; ++i) {
            edges.push_back(Edge{i->begin, +1, i, part.fileOffset});
            edges.push_back(Edge{i->end, -1, i, part.fileOffset});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
    std::vector<std::pair<const Interval*, uint32_t>> open;
    std::vector<Interval> united;
    for (size_t e = 0; e < edges.size();) {
        CivilSeconds at = edges[e].at;
        for (; e < edges.size() && edges[e].at == at; ++e) {
            if (edges[e].delta > 0) {
                open.emplace_back(edges[e].interval, edges[e].fileOffset);
            } else {
                for (size_t k = 0; k < open.size(); ++k) {
                    if (open[k].first == edges[e].interval) {
                        open.erase(open.begin() + (long)k);
                        break;
                    }
                }
            }
        }
        if (open.empty() || e == edges.size()) continue;
        const std::pair<const Interval*, uint32_t>* best = &open[0];
        for (const auto& candidate : open)
            if (Rank(candidate.first->state) < Rank(best->first->state)) best = &candidate;
        Interval piece = *best->first;
        piece.begin = at;
        piece.end = edges[e].at;
        piece.opened.file += best->second;
        piece.closed.file += best->second;
        if (piece.end > piece.begin) AppendInterval(united, piece);
    }
    return united;
}

// A source's silence on the given day, when one covers it whole.
bool QuietOn(const std::vector<QuietDays>& quietDays, int64_t day, Interval& piece)
{
    auto after = std::upper_bound(quietDays.begin(), quietDays.end(), day,
                                  [](int64_t d, const QuietDays& q) { return d < q.firstDay; });
    if (after == quietDays.begin() || std::prev(after)->lastDay < day) return false;
    const QuietDays& quiet = *std::prev(after);
    piece = quiet.first;
    piece.begin += (day - quiet.firstDay) * SECONDS_PER_DAY;
    piece.end += (day - quiet.firstDay) * SECONDS_PER_DAY;
    return true;
}

Mark Renumbered(Mark mark, uint32_t offset)
{
    mark.where.file += offset;
    return mark;
}

}  // namespace

std::vector<DayRow> MergeUsers(const std::vector<DayRow>& rows)
{
    std::map<std::pair<std::string, int64_t>, std::vector<const DayRow*>> groups;
    for (const DayRow& row : rows) groups[{row.user, row.day}].push_back(&row);

    // One list of files per user, each source's files appended once, and the
    // sources' silences of whole days, which have no rows.
    std::map<std::string, std::shared_ptr<std::vector<std::string>>> userFiles;
    std::map<std::pair<std::string, const std::vector<std::string>*>, uint32_t> offsets;
    std::map<std::string, std::vector<std::pair<const std::vector<QuietDays>*, uint32_t>>> userQuietDays;
    for (const DayRow& row : rows) {
        auto& files = userFiles[row.user];
        if (!files) files = std::make_shared<std::vector<std::string>>();
        auto key = std::make_pair(row.user, row.files.get());
        if (offsets.count(key) || !row.files) continue;
        offsets[key] = (uint32_t)files->size();
        if (row.quietDays) userQuietDays[row.user].emplace_back(row.quietDays.get(), offsets[key]);
        files->insert(files->end(), row.files->begin(), row.files->end());
    }

    std::vector<DayRow> merged;
    for (const auto& group : groups) {
        DayRow out;
        out.source = out.user = group.first.first;
        out.day = group.first.second;
        out.files = userFiles[out.user];
        out.dayStartS = group.second.front()->dayStartS;  // one user's sources share it
        std::vector<Part> parts;
        std::set<std::string> places;
        for (const DayRow* row : group.second) {
            if (!row->place.empty()) places.insert(row->place);
            uint32_t offset = row->files ? offsets[{row->user, row->files.get()}] : 0;
            parts.push_back(Part{row->intervals.data(), row->intervals.size(), offset});
            out.starts += row->starts;
            out.exits += row->exits;
            out.locks += row->locks;
            out.unlocks += row->unlocks;
            out.suspends += row->suspends;
            out.resumes += row->resumes;
            out.badLines += row->badLines;
            out.flags |= row->flags;
            if (row->heartbeatS > 0 && (out.heartbeatS == 0 || row->heartbeatS < out.heartbeatS))
                out.heartbeatS = row->heartbeatS;
            for (const Mark& mark : row->marks) out.marks.push_back(Renumbered(mark, offset));
        }
        const auto& quietSources = userQuietDays[out.user];
        std::vector<Interval> quiet(quietSources.size());
        for (size_t i = 0; i < quietSources.size(); ++i)
            if (QuietOn(*quietSources[i].first, out.day, quiet[i])) parts.push_back(Part{&quiet[i], 1, quietSources[i].second});
        // The PCs that have lines that day, so that the row still says where it was.
        for (const std::string& place : places) out.place += (out.place.empty() ? "" : " ") + place;
        out.intervals = UniteIntervals(parts);
        ComputeFigures(out);
        if (out.activeS == 0) continue;
        SortMarks(out.marks);
        merged.push_back(std::move(out));
    }
    return merged;
}
