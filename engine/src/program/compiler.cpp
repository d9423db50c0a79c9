// Compiles template text into a Program in one pass over the text plus work
// proportional to the number of groups and pieces.
//
// Where each group closes and where its inside splits are read from the
// bracket table (brackettable.h). Groups are visited with an explicit task
// stack, never the C++ stack, in the expansion order: a group's closer is
// looked for first, then its inside, with the pieces of a pairs group in the
// order 2, 0, 1, 3, ..., then the text after the group. The first unclosed
// group met in that order is the one reported.

#include "program/program.h"

#include "program/brackettable.h"
#include "program/choicearithmetic.h"
#include "razmnozhator/engine.h"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>

namespace razmnozhator::detail {

namespace {

// A piece not compiled yet.
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

    void startNextPiece(std::uint32_t groupIndex)
    {
        GroupBuilder &group = groupBuilders_[groupIndex];
        if (group.piecesStarted == group.pieces.size()) {
            tasks_.pop_back();
            finishGroup();
            return;
        }
        const std::size_t piece
            = visitKind(group.kind, [&](auto kind) { return decltype(kind)::pieceCompiled(group.piecesStarted++); });
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
        if (opener.closer == noCloser || opener.closer >= task.end)
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
            choices = Pairs::count(group.pieces.size() - 1);
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
    // Most tables were reserved for the most that the brackets and bars
    // allow, which bars of nested groups and single-piece groups spliced
    // into their sequence leave partly unused; the flattened choices, the
    // plain-text spans and a recoded pool grew as they were filled. A
    // template of millions of groups would keep the room left over for as
    // long as it lives.
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
