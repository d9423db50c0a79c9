// Compiles template text into a Program in one pass over the text plus work
// proportional to the number of groups and pieces.
//
// The step-by-step definition of the language rescans text at every level: it
// searches each group's closer and splits each group's inside anew. Both scans
// are local properties of the text, so they are answered here from tables made
// once: an opener's closer is its match among brackets of its own kind, and a
// bar splits a group exactly when the mixed bracket depth before it equals the
// depth just inside the group's opener. Groups are then visited with an
// explicit task stack in the order the definition meets them (closer search,
// the inside with pairs parts in the order 2, 0, 1, 3, ..., then the tail), so
// the first error reported is the one the definition reports.

#include "lengthweights.h"
#include "program.h"

#include "razmnozhator/engine.h"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>

namespace razmnozhator::detail {

namespace {

constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

std::uint32_t checkedIndex(std::size_t value)
{
    if (value >= groupTag)
        throw std::length_error("template too large");
    return static_cast<std::uint32_t>(value);
}

bool isSquare(char opener)
{
    return opener == '[';
}

TemplateError unclosed(char opener, std::size_t offset)
{
    return TemplateError(isSquare(opener) ? TemplateError::Bracket::Square : TemplateError::Bracket::Curly, offset);
}

// The first of the sorted [first, last) that is not below value, found by
// steps that double away from hint, where the caller expects it.
const std::uint32_t *lowerBoundNear(
    const std::uint32_t *first, const std::uint32_t *last, const std::uint32_t *hint, std::size_t value)
{
    std::ptrdiff_t step = 1;
    if (hint < last && *hint < value) {
        first = hint + 1;
        while (last - first > step && first[step - 1] < value) {
            first += step;
            step *= 2;
        }
        return std::lower_bound(first, std::min(last, first + step), value);
    }
    last = hint;
    while (last - first > step && last[-step] >= value) {
        last -= step;
        step *= 2;
    }
    return std::lower_bound(std::max(first, last - step), last, value);
}

// Where every group of the text ends and where every group's inside splits.
class BracketTable
{
public:
    explicit BracketTable(std::string_view text)
    {
        std::vector<std::uint32_t> openSquare;
        std::vector<std::uint32_t> openCurly;
        std::vector<std::pair<std::int32_t, std::uint32_t>> bars;
        std::int32_t depth = 0;
        for (std::size_t position = 0; position < text.size(); ++position) {
            const char byte = text[position];
            switch (byte) {
            case '[':
            case '{': {
                const auto ordinal = static_cast<std::uint32_t>(openers_.size());
                openers_.push_back({ static_cast<std::uint32_t>(position), none, 0, ++depth });
                (byte == '[' ? openSquare : openCurly).push_back(ordinal);
                curlyCount_ += byte == '{' ? 1 : 0;
                break;
            }
            case ']':
            case '}': {
                --depth;
                auto &open = byte == ']' ? openSquare : openCurly;
                if (!open.empty()) {
                    Opener &opener = openers_[open.back()];
                    open.pop_back();
                    opener.closer = static_cast<std::uint32_t>(position);
                    opener.ordinalAfterCloser = static_cast<std::uint32_t>(openers_.size());
                }
                break;
            }
            case '|':
                bars.emplace_back(depth, static_cast<std::uint32_t>(position));
                break;
            default:
                break;
            }
        }
        bucketBarsByDepth(bars);
    }

    struct Opener
    {
        std::uint32_t position;
        std::uint32_t closer; // none when the group never closes
        std::uint32_t ordinalAfterCloser;
        std::int32_t depthInside; // mixed depth just after the opener
    };

    std::uint32_t openerCount() const { return static_cast<std::uint32_t>(openers_.size()); }
    std::size_t barCount() const { return barPositions_.size(); }
    std::size_t curlyCount() const { return curlyCount_; }
    const Opener &opener(std::uint32_t ordinal) const { return openers_[ordinal]; }

    // Searched among the openers [from, to) only: those inside one group, so
    // that a group without nested ones costs nothing to split.
    std::uint32_t firstOpenerAtOrAfter(std::size_t position, std::uint32_t from, std::uint32_t to) const
    {
        const auto it = std::lower_bound(openers_.begin() + from, openers_.begin() + to, position,
            [](const Opener &o, std::size_t p) { return o.position < p; });
        return static_cast<std::uint32_t>(it - openers_.begin());
    }

    // The bars in [begin, end) that stand at the given mixed depth, in order.
    // Groups are mostly split in text order, so each depth's search starts
    // where the last one at that depth ended and widens from there: a long
    // run of sibling groups then costs a few steps a group, not a search of
    // all the bars at their depth.
    std::pair<const std::uint32_t *, const std::uint32_t *> barsAt(
        std::int32_t depth, std::size_t begin, std::size_t end) const
    {
        if (barPositions_.empty() || depth < minDepth_ || depth - minDepth_ + 1 >= std::int64_t(depthStart_.size()))
            return { nullptr, nullptr };
        const std::uint32_t *first = barPositions_.data() + depthStart_[depth - minDepth_];
        const std::uint32_t *last = barPositions_.data() + depthStart_[depth - minDepth_ + 1];
        std::uint32_t &finger = fingers_[depth - minDepth_];
        const std::uint32_t *from = lowerBoundNear(first, last, first + finger, begin);
        const std::uint32_t *to = lowerBoundNear(first, last, from, end);
        finger = static_cast<std::uint32_t>(to - first);
        return { from, to };
    }

private:
    // Counting sort: stable, so each depth's bars stay in text order.
    void bucketBarsByDepth(const std::vector<std::pair<std::int32_t, std::uint32_t>> &bars)
    {
        if (bars.empty())
            return;
        std::int32_t maxDepth = bars.front().first;
        minDepth_ = maxDepth;
        for (const auto &bar : bars) {
            minDepth_ = std::min(minDepth_, bar.first);
            maxDepth = std::max(maxDepth, bar.first);
        }
        depthStart_.assign(static_cast<std::size_t>(maxDepth - minDepth_) + 2, 0);
        for (const auto &bar : bars)
            ++depthStart_[bar.first - minDepth_ + 1];
        for (std::size_t i = 1; i < depthStart_.size(); ++i)
            depthStart_[i] += depthStart_[i - 1];
        barPositions_.resize(bars.size());
        fingers_.assign(depthStart_.size(), 0);
        std::vector<std::uint32_t> fill(depthStart_.begin(), depthStart_.end() - 1);
        for (const auto &bar : bars)
            barPositions_[fill[bar.first - minDepth_]++] = bar.second;
    }

    std::vector<Opener> openers_;
    std::vector<std::uint32_t> barPositions_;
    std::vector<std::uint32_t> depthStart_;
    mutable std::vector<std::uint32_t> fingers_; // per depth: where its last search ended
    std::int32_t minDepth_ = 0;
    std::size_t curlyCount_ = 0;
};

// A sequence under construction. The literal being collected may come from
// several runs of text, since single-piece groups are spliced in.
struct SequenceBuilder
{
    std::vector<Span> literals;
    std::vector<std::uint64_t> characters;
    std::vector<std::uint32_t> groups;
    std::string pendingLiteral;

    void reset()
    {
        literals.clear();
        characters.clear();
        groups.clear();
        pendingLiteral.clear();
    }
};

struct GroupBuilder
{
    GroupKind kind = GroupKind::Alternatives;
    std::uint32_t owner = 0; // the sequence builder that receives the group
    // The inside of the group and the bars that split it.
    std::size_t begin = 0;
    std::size_t end = 0;
    const std::uint32_t *bars = nullptr;
    std::size_t splitPieces = 0; // pieces in the text; pairs may have more, empty, ones
    std::size_t piecesStarted = 0;
    // The openers inside the group.
    std::uint32_t firstOrdinal = 0;
    std::uint32_t endOrdinal = 0;
    std::vector<std::uint32_t> pieces;
};

enum class Step : std::uint8_t { Parse, NextPiece, EndPiece };

struct Task
{
    Step step;
    std::uint32_t ordinal; // Parse: the first opener at or after begin
    std::uint32_t builder; // Parse: sequence builder; pieces: group builder
    std::uint32_t piece;
    std::uint64_t begin;
    std::uint64_t end;
};

class Compiler
{
public:
    Compiler(Program &program, SyntaxRecorder *recorder)
        : program_(program)
        , text_(program.source)
        , brackets_(text_)
        , recorder_(recorder)
    {
        reserveTables();
    }

    void run(EntryPoint entry)
    {
        if (text_.size() >= std::numeric_limits<std::int32_t>::max())
            throw std::length_error("template too large");
        const std::uint32_t root = pushSequenceBuilder();
        if (entry == EntryPoint::Template)
            tasks_.push_back({ Step::Parse, 0, root, 0, 0, text_.size() });
        else
            startGroup(entry == EntryPoint::AlternativesInner ? GroupKind::Alternatives : GroupKind::Pairs, 0,
                text_.size(), 0, 0, brackets_.openerCount(), root);
        while (!tasks_.empty())
            runTopTask();
        program_.root = finishSequence();
    }

private:
    // The tables' sizes are bounded by the brackets and bars of the text:
    // reserved at once, they are filled without the copies that growing by
    // doubling makes, and for templates of millions of groups those copies
    // and the fresh pages they touch are most of the compile time.
    void reserveTables()
    {
        const std::size_t groups = brackets_.openerCount();
        // Every group has one piece more than its splitting bars, a pairs
        // group at least three; every piece and the root are a sequence.
        const std::size_t pieces = brackets_.barCount() + groups + 2 * brackets_.curlyCount();
        const std::size_t sequences = pieces + 1;
        program_.groups.reserve(groups);
        program_.groupRefs.reserve(groups);
        program_.pieces.reserve(pieces);
        program_.sequences.reserve(sequences);
        program_.literals.reserve(sequences + groups);
        program_.postorder.reserve(sequences + groups);
        if (!program_.literalMap)
            program_.pool.reserve(text_.size());
        if (recorder_)
            recorder_->marks.reserve(2 * groups + brackets_.barCount());
    }

    void runTopTask()
    {
        Task &task = tasks_.back();
        switch (task.step) {
        case Step::Parse:
            parse(task);
            break;
        case Step::NextPiece:
            startNextPiece(task.builder);
            break;
        case Step::EndPiece: {
            const Task end = task;
            tasks_.pop_back();
            groupBuilders_[end.builder].pieces[end.piece] = finishSequence();
            break;
        }
        }
    }

    // Pieces run in the order the definition expands them: alternatives left
    // to right; pairs parts 2, 0, 1, 3, 4, ...
    static std::size_t pieceInCompileOrder(GroupKind kind, std::size_t started)
    {
        if (kind == GroupKind::Alternatives || started >= 3)
            return started;
        constexpr std::size_t pairsOrder[] = { 2, 0, 1 };
        return pairsOrder[started];
    }

    void startNextPiece(std::uint32_t groupIndex)
    {
        GroupBuilder &group = groupBuilders_[groupIndex];
        if (group.piecesStarted == group.pieces.size()) {
            tasks_.pop_back();
            finishGroup();
            return;
        }
        const std::size_t piece = pieceInCompileOrder(group.kind, group.piecesStarted++);
        const std::size_t begin = piece == 0 ? group.begin
            : piece < group.splitPieces      ? std::size_t(group.bars[piece - 1]) + 1
                                             : group.end;
        const std::size_t end = piece + 1 < group.splitPieces ? std::size_t(group.bars[piece]) : group.end;
        tasks_.push_back({ Step::EndPiece, 0, groupIndex, checkedIndex(piece), 0, 0 });
        const std::uint32_t sequence = pushSequenceBuilder();
        tasks_.push_back({ Step::Parse, brackets_.firstOpenerAtOrAfter(begin, group.firstOrdinal, group.endOrdinal),
            sequence, 0, begin, end });
    }

    // Copies text up to the next group into the sequence, then hands the
    // group to startGroup and leaves the task to continue with the tail.
    void parse(Task &task)
    {
        const std::uint32_t ordinal = task.ordinal;
        if (ordinal >= brackets_.openerCount() || brackets_.opener(ordinal).position >= task.end) {
            appendLiteral(task.builder, task.begin, task.end);
            tasks_.pop_back();
            return;
        }
        const auto &opener = brackets_.opener(ordinal);
        appendLiteral(task.builder, task.begin, opener.position);
        if (opener.closer == none || opener.closer >= task.end)
            throw unclosed(text_[opener.position], opener.position);
        if (recorder_) {
            recorder_->marks.push_back({ opener.position, opener.position, SyntaxRecorder::Opener });
            recorder_->marks.push_back({ opener.closer, opener.position, SyntaxRecorder::Closer });
        }
        const std::uint32_t builder = task.builder;
        task.begin = opener.closer + 1;
        task.ordinal = opener.ordinalAfterCloser;
        startGroup(isSquare(text_[opener.position]) ? GroupKind::Alternatives : GroupKind::Pairs, opener.position + 1,
            opener.closer, opener.depthInside, ordinal + 1, opener.ordinalAfterCloser, builder);
    }

    void startGroup(GroupKind kind, std::size_t begin, std::size_t end, std::int32_t depthInside,
        std::uint32_t firstOrdinal, std::uint32_t endOrdinal, std::uint32_t owner)
    {
        const auto [firstBar, lastBar] = brackets_.barsAt(depthInside, begin, end);
        const std::size_t pieceCount = static_cast<std::size_t>(lastBar - firstBar) + 1;
        if (recorder_) {
            for (const std::uint32_t *bar = firstBar; bar != lastBar; ++bar)
                recorder_->marks.push_back({ *bar, static_cast<std::uint32_t>(begin - 1), SyntaxRecorder::Bar });
        }
        if (kind == GroupKind::Alternatives && pieceCount == 1) {
            tasks_.push_back({ Step::Parse, firstOrdinal, owner, 0, begin, end });
            return;
        }
        // A pairs group has a separator and at least two items; missing ones are empty.
        const std::size_t parts = kind == GroupKind::Pairs ? std::max<std::size_t>(pieceCount, 3) : pieceCount;
        const std::uint32_t group = pushGroupBuilder(kind, owner, parts);
        GroupBuilder &builder = groupBuilders_[group];
        builder.begin = begin;
        builder.end = end;
        builder.bars = firstBar;
        builder.splitPieces = pieceCount;
        builder.firstOrdinal = firstOrdinal;
        builder.endOrdinal = endOrdinal;
        tasks_.push_back({ Step::NextPiece, 0, group, 0, 0, 0 });
    }

    void appendLiteral(std::uint32_t builder, std::size_t begin, std::size_t end)
    {
        if (begin < end)
            sequenceBuilders_[builder].pendingLiteral.append(text_.data() + begin, end - begin);
    }

    void flushLiteral(SequenceBuilder &builder)
    {
        const std::size_t offset = program_.pool.size();
        if (program_.literalMap && !builder.pendingLiteral.empty())
            program_.pool += program_.literalMap(builder.pendingLiteral);
        else
            program_.pool += builder.pendingLiteral;
        const std::size_t length = program_.pool.size() - offset;
        if (program_.pool.size() > UINT32_MAX)
            throw std::length_error("template too large");
        builder.literals.push_back({ static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length) });
        if (program_.literalMap || !program_.lengthRule.plain())
            builder.characters.push_back(literalWeight(program_.lengthRule, builder.pendingLiteral));
        builder.pendingLiteral.clear();
    }

    std::uint32_t pushSequenceBuilder()
    {
        if (activeSequences_ == sequenceBuilders_.size())
            sequenceBuilders_.emplace_back();
        else
            sequenceBuilders_[activeSequences_].reset();
        return checkedIndex(activeSequences_++);
    }

    std::uint32_t finishSequence()
    {
        SequenceBuilder &builder = sequenceBuilders_[activeSequences_ - 1];
        flushLiteral(builder);
        const Sequence sequence { checkedIndex(program_.literals.size()), checkedIndex(program_.groupRefs.size()),
            checkedIndex(builder.groups.size()) };
        program_.literals.insert(program_.literals.end(), builder.literals.begin(), builder.literals.end());
        program_.literalCharacters.insert(
            program_.literalCharacters.end(), builder.characters.begin(), builder.characters.end());
        program_.groupRefs.insert(program_.groupRefs.end(), builder.groups.begin(), builder.groups.end());
        program_.sequences.push_back(sequence);
        program_.postorder.push_back(checkedIndex(program_.sequences.size() - 1));
        --activeSequences_;
        return checkedIndex(program_.sequences.size() - 1);
    }

    std::uint32_t pushGroupBuilder(GroupKind kind, std::uint32_t owner, std::size_t parts)
    {
        if (activeGroups_ == groupBuilders_.size())
            groupBuilders_.emplace_back();
        GroupBuilder &group = groupBuilders_[activeGroups_];
        // Reused with its pieces' storage: a template of a million groups
        // would otherwise allocate for each.
        std::vector<std::uint32_t> pieces = std::move(group.pieces);
        group = GroupBuilder {};
        group.kind = kind;
        group.owner = owner;
        pieces.assign(parts, none);
        group.pieces = std::move(pieces);
        return checkedIndex(activeGroups_++);
    }

    std::uint32_t literalPieces(std::span<const std::uint32_t> pieces)
    {
        for (const std::uint32_t piece : pieces) {
            if (program_.sequences[piece].groupCount != 0)
                return noLiterals;
        }
        const std::uint32_t begin = checkedIndex(program_.pieceLiterals.size());
        for (const std::uint32_t piece : pieces)
            program_.pieceLiterals.push_back(program_.literals[program_.sequences[piece].literalBegin]);
        return begin;
    }

    // A piece that is nothing but another alternatives group offers that
    // group's choices in its place, in the same order. Only small nested groups
    // are flattened, so that deep nesting costs no quadratic copying.
    std::uint32_t flattenChoices(const std::vector<std::uint32_t> &pieces)
    {
        constexpr std::uint64_t flattenLimit = 64;
        const auto begin = checkedIndex(program_.choicePieces.size());
        for (const std::uint32_t piece : pieces) {
            const Sequence &sequence = program_.sequences[piece];
            // Empty in characters as well: a literal map may have emptied a
            // literal's bytes, but its characters still count in its length.
            if (sequence.groupCount == 1 && program_.literals[sequence.literalBegin].length == 0
                && program_.literals[sequence.literalBegin + 1].length == 0
                && program_.characters(sequence.literalBegin) == 0
                && program_.characters(sequence.literalBegin + 1) == 0) {
                const Group &inner = program_.groups[program_.groupRefs[sequence.groupBegin]];
                if (inner.kind == GroupKind::Alternatives && inner.choices <= flattenLimit) {
                    for (std::uint64_t i = 0; i < inner.choices; ++i)
                        program_.choicePieces.push_back(program_.choicePieces[inner.choiceBegin + i]);
                    continue;
                }
            }
            program_.choicePieces.push_back(piece);
        }
        return begin;
    }

    void finishGroup()
    {
        GroupBuilder &group = groupBuilders_[activeGroups_ - 1];
        std::uint64_t choices = 0;
        std::uint32_t choiceBegin = 0;
        std::uint32_t pieceLiterals = noLiterals;
        if (group.kind == GroupKind::Alternatives) {
            choiceBegin = flattenChoices(group.pieces);
            choices = program_.choicePieces.size() - choiceBegin;
            pieceLiterals = literalPieces(std::span(program_.choicePieces).subspan(choiceBegin));
        } else {
            pieceLiterals = literalPieces(group.pieces);
            const std::uint64_t items = group.pieces.size() - 1;
            choices = items * (items - 1);
        }
        const Group compiled { group.kind, checkedIndex(program_.pieces.size()), checkedIndex(group.pieces.size()),
            choices, choiceBegin, pieceLiterals };
        program_.pieces.insert(program_.pieces.end(), group.pieces.begin(), group.pieces.end());
        program_.groups.push_back(compiled);
        const std::uint32_t groupIndex = checkedIndex(program_.groups.size() - 1);
        program_.postorder.push_back(groupIndex | groupTag);

        SequenceBuilder &owner = sequenceBuilders_[group.owner];
        --activeGroups_;
        flushLiteral(owner);
        owner.groups.push_back(groupIndex);
    }

    Program &program_;
    std::string_view text_;
    BracketTable brackets_;
    std::vector<Task> tasks_;
    std::vector<SequenceBuilder> sequenceBuilders_;
    std::size_t activeSequences_ = 0;
    std::vector<GroupBuilder> groupBuilders_;
    std::size_t activeGroups_ = 0;
    SyntaxRecorder *recorder_;
};

} // namespace

std::shared_ptr<const Program> compileProgram(
    std::string source, EntryPoint entry, LiteralMap literalMap, SyntaxRecorder *recorder, const LengthRule &rule)
{
    auto program = std::make_shared<Program>();
    program->source = std::move(source);
    program->literalMap = std::move(literalMap);
    program->lengthRule = rule;
    Compiler(*program, recorder).run(entry);
    program->pool.append(poolSlack, '\0');
    // The tables grew by doubling; a template of millions of groups would keep
    // up to half of them unused for as long as it lives.
    program->pool.shrink_to_fit();
    program->literals.shrink_to_fit();
    program->literalCharacters.shrink_to_fit();
    program->groupRefs.shrink_to_fit();
    program->sequences.shrink_to_fit();
    program->groups.shrink_to_fit();
    program->pieces.shrink_to_fit();
    program->choicePieces.shrink_to_fit();
    program->pieceLiterals.shrink_to_fit();
    program->postorder.shrink_to_fit();
    weighLiterals(*program);
    program->figures = computeFigures(*program);
    return program;
}

} // namespace razmnozhator::detail
