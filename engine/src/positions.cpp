#include "positions.h"

#include "indexbudget.h"
#include "razmnozhator/engine.h"
#include "semirings.h"
#include "walk.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

namespace razmnozhator::detail {

namespace {

// Bytes of one big number of that many bits, with its header and the
// allocator's.
double bigBytes(double bits)
{
    return bits / 8 + 48;
}

__extension__ typedef unsigned __int128 Wide;

// Blocks of groups of a long sequence stay within 32 bits, where a division
// by a group's count is two multiplications by its reciprocal.
constexpr std::uint64_t blockLimit = std::uint64_t(1) << 32;

// Divides the residual by a divisor, leaving the remainder in it. Operands
// that fit 32 bits, as most do, take the division that is several times
// faster on many processors.
[[gnu::always_inline]] inline std::uint64_t divideOff(std::uint64_t &residual, std::uint64_t divisor)
{
    if (((residual | divisor) >> 32) == 0) {
        const auto low = static_cast<std::uint32_t>(residual);
        const auto by = static_cast<std::uint32_t>(divisor);
        residual = low % by;
        return low / by;
    }
    const std::uint64_t quotient = residual / divisor;
    residual %= divisor;
    return quotient;
}

// What the index will take, from the bounds of the nodes' counts.
double estimatedBytes(const Program &program)
{
    double bytes = 8.0
            * double(program.sequences.size() + program.groups.size() + program.choicePieces.size()
                + 1.5 * double(program.groupRefs.size()))
        + 16.0 * double(program.pieces.size());
    walkPostorder(program, LogCount {}, [&](std::uint32_t node, double bits) {
        if (bits < 63)
            return;
        // Values met while computing the counts, and the count kept.
        bytes += 3 * bigBytes(bits);
        if (node & groupTag) {
            const Group &group = program.groups[node & ~groupTag];
            const double entries
                = group.kind == GroupKind::Alternatives ? double(group.choices) : 2.0 * (group.pieceCount - 1);
            bytes += entries * bigBytes(bits);
            return;
        }
        // Every level of the product tree holds about the sequence's bits.
        const double groups = program.sequences[node].groupCount;
        bytes += (std::log2(groups + 1) + 2) * bigBytes(bits) + 4 * groups * bigBytes(0);
    });
    return bytes;
}

// The blocks of the pairs of a pairs group, in both kinds of number.
template <class Number> struct PairTables
{
    const Number *itemPrefix; // per item
    const Number *pairPrefix; // per item
    std::uint32_t items;
};

template <class Number> Number divide(const Number &a, const Number &b, Number &remainder)
{
    if constexpr (std::is_same_v<Number, std::uint64_t>) {
        remainder = a % b;
        return a / b;
    } else {
        Number quotient;
        mpz_tdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
        return quotient;
    }
}

// The ordered pair (first, second) that a pairs group's variant index makes,
// and the residuals of its three slots.
template <class Number, class Count>
GroupChoice decodePair(
    const PairTables<Number> &tables, Count count, const Number &separator, const Number &variant, Number slots[3])
{
    const std::uint32_t items = tables.items;
    const Number *itemPrefix = tables.itemPrefix;
    const Number *pairPrefix = tables.pairPrefix;
    const auto first
        = static_cast<std::uint32_t>(std::upper_bound(pairPrefix, pairPrefix + items, variant) - pairPrefix - 1);
    const Number inBlock = variant - pairPrefix[first];
    // Within the block of the first item, each second item f takes
    // c_first * s * c_f positions, in item order with the first item left out.
    const Number firstCount = count(first);
    const Number unit = firstCount * separator;
    Number unused;
    const Number step = divide(inBlock, unit, unused);
    std::uint32_t second;
    Number before;
    if (step < itemPrefix[first]) {
        second = static_cast<std::uint32_t>(std::upper_bound(itemPrefix, itemPrefix + first, step) - itemPrefix - 1);
        before = itemPrefix[second];
    } else {
        const Number shifted = step + firstCount;
        second = static_cast<std::uint32_t>(
            std::upper_bound(itemPrefix + first + 1, itemPrefix + items, shifted) - itemPrefix - 1);
        before = itemPrefix[second] - firstCount;
    }
    const Number inPair = inBlock - unit * before;
    const Number secondCount = count(second);
    const Number tail = separator * secondCount;
    Number rest;
    slots[0] = divide(inPair, tail, rest);
    slots[1] = divide(rest, secondCount, slots[2]);
    GroupChoice choice;
    choice.first = first;
    choice.second = second;
    choice.choice = first * (items - 1ull) + (second < first ? second : second - 1);
    return choice;
}

} // namespace

mpz_class PositionIndex::countOf(std::uint32_t node) const
{
    if (isBig(node))
        return big.at(node);
    return mpz_class(static_cast<unsigned long>(count[node]));
}

PositionIndex::PositionIndex(const Program &compiled)
    : program(compiled)
{
    if (program.figures.count == saturated)
        checkIndexBudget(LimitError::Task::PositionIndex, estimatedBytes(program));

    const std::uint32_t groupBase = static_cast<std::uint32_t>(program.sequences.size());
    count.assign(program.sequences.size() + program.groups.size(), 0);
    walkPostorder(program, ExactDual { .countsOnly = true }, [&](std::uint32_t entry, const Dual &value) {
        const std::uint32_t node = entry & groupTag ? groupBase + (entry & ~groupTag) : entry;
        if (value.isSmall() && value.smallCount() != bigCount)
            count[node] = value.smallCount();
        else {
            count[node] = bigCount;
            big.emplace(node, value.count());
        }
    });

    reciprocal.assign(program.groups.size(), 0);
    for (std::uint32_t g = 0; g < program.groups.size(); ++g) {
        if (count[groupBase + g] < blockLimit)
            reciprocal[g] = UINT64_MAX / count[groupBase + g] + 1;
    }

    countAfter.assign(program.groupRefs.size(), 0);
    plainChoices.resize(program.groupRefs.size());
    for (std::size_t i = 0; i < program.groupRefs.size(); ++i) {
        const Group &group = program.groups[program.groupRefs[i]];
        plainChoices[i] = group.kind == GroupKind::Alternatives ? group.pieceLiteralsBegin : noLiterals;
    }
    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        if (isBig(s))
            continue;
        const Sequence &sequence = program.sequences[s];
        std::uint64_t product = 1;
        for (std::uint32_t i = sequence.groupCount; i-- > 0;) {
            countAfter[sequence.groupBegin + i] = product;
            product *= count[groupNode(program.groupRefs[sequence.groupBegin + i])];
        }
    }

    flat.assign(program.sequences.size(), 0);
    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        const Sequence &sequence = program.sequences[s];
        const std::uint32_t *const refs = program.groupRefs.data() + sequence.groupBegin;
        flat[s] = !isBig(s) && std::all_of(refs, refs + sequence.groupCount, [&](std::uint32_t group) {
            return program.groups[group].pieceLiteralsBegin != noLiterals;
        });
    }

    choicePrefix.assign(program.choicePieces.size(), 0);
    itemPrefix.assign(program.pieces.size(), 0);
    pairPrefix.assign(program.pieces.size(), 0);
    for (std::uint32_t g = 0; g < program.groups.size(); ++g) {
        const Group &group = program.groups[g];
        const auto fill = [&](auto sequenceCount, auto &choices, auto &items, auto &pairs, std::uint32_t choiceAt,
                              std::uint32_t pieceAt) {
            using Number = std::decay_t<decltype(sequenceCount(0))>;
            if (group.kind == GroupKind::Alternatives) {
                Number sum = 0;
                for (std::uint64_t i = 0; i < group.choices; ++i) {
                    choices[choiceAt + i] = sum;
                    sum = sum + sequenceCount(program.choicePieces[group.choiceBegin + i]);
                }
                return;
            }
            const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
            Number total = 0;
            for (std::uint32_t i = 1; i < group.pieceCount; ++i)
                total = total + sequenceCount(pieces[i]);
            const Number separator = sequenceCount(pieces[0]);
            Number itemsBefore = 0;
            Number blocks = 0;
            for (std::uint32_t i = 1; i < group.pieceCount; ++i) {
                const Number item = sequenceCount(pieces[i]);
                items[pieceAt + i] = itemsBefore;
                pairs[pieceAt + i] = blocks;
                itemsBefore = itemsBefore + item;
                blocks = blocks + separator * item * (total - item);
            }
        };
        if (!isBig(groupBase + g)) {
            fill([this](std::uint32_t s) { return count[s]; }, choicePrefix, itemPrefix, pairPrefix, group.choiceBegin,
                group.pieceBegin);
            continue;
        }
        BigGroup &tables = bigGroups[g];
        if (group.kind == GroupKind::Alternatives)
            tables.choicePrefix.resize(group.choices);
        else
            tables.itemPrefix.resize(group.pieceCount), tables.pairPrefix.resize(group.pieceCount);
        fill([this](std::uint32_t s) { return countOf(s); }, tables.choicePrefix, tables.itemPrefix, tables.pairPrefix,
            0, 0);
    }

    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        if (!isBig(s))
            continue;
        const Sequence &sequence = program.sequences[s];
        BigSequence &tree = bigSequences[s];
        // Blocks: runs of groups whose product fits a word, or one group of a big count.
        std::vector<mpz_class> leaves;
        std::uint64_t product = 1;
        for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
            const std::uint32_t node = groupBase + program.groupRefs[sequence.groupBegin + i];
            std::uint64_t next = 0;
            if (!isBig(node) && !__builtin_mul_overflow(product, count[node], &next) && next < blockLimit) {
                product = next;
                continue;
            }
            if (i > 0 && (tree.blockEnd.empty() || tree.blockEnd.back() != i)) {
                tree.blockEnd.push_back(i);
                tree.blockCount.push_back(product);
                leaves.emplace_back(static_cast<unsigned long>(product));
            }
            product = 1;
            if (isBig(node)) {
                tree.hasBigGroups = true;
                tree.blockEnd.push_back(i + 1);
                tree.blockCount.push_back(0);
                leaves.push_back(big.at(node));
            } else {
                product = count[node];
            }
        }
        if (tree.blockEnd.empty() || tree.blockEnd.back() != sequence.groupCount) {
            tree.blockEnd.push_back(sequence.groupCount);
            tree.blockCount.push_back(product);
            leaves.emplace_back(static_cast<unsigned long>(product));
        }
        tree.product.resize(4 * leaves.size());
        const auto build = [&](auto &self, std::size_t node, std::uint32_t low, std::uint32_t high) -> void {
            if (high - low == 1) {
                tree.product[node] = std::move(leaves[low]);
                return;
            }
            const std::uint32_t middle = low + (high - low) / 2;
            self(self, 2 * node, low, middle);
            self(self, 2 * node + 1, middle, high);
            tree.product[node] = tree.product[2 * node] * tree.product[2 * node + 1];
        };
        build(build, 1, 0, static_cast<std::uint32_t>(leaves.size()));
        tree.powerOfTwo = !tree.hasBigGroups && mpz_popcount(tree.product[1].get_mpz_t()) == 1;
    }
}

const PositionIndex &positionIndex(const Program &program)
{
    std::lock_guard lock(program.indexMutex);
    if (!program.positionIndex)
        program.positionIndex = std::make_shared<const PositionIndex>(program);
    return *program.positionIndex;
}

PositionDecoder::PositionDecoder(const Program &program)
    : index_(positionIndex(program))
    , scratch_(64)
{
}

PositionDecoder::~PositionDecoder() = default;

void PositionDecoder::start(const mpz_class &position)
{
    split(index_.program.root, position, root_);
}

void PositionDecoder::splitBlock(
    std::uint32_t sequence, std::uint32_t begin, std::uint32_t end, std::uint64_t residual, Digits &digits) const
{
    const Program &program = index_.program;
    const std::uint32_t *groups = program.groupRefs.data() + program.sequences[sequence].groupBegin;
    for (std::uint32_t i = end; i-- > begin;) {
        if (i == begin) {
            // The leading group takes what is left.
            digits.word[i] = residual;
            break;
        }
        const std::uint64_t radix = index_.count[index_.groupNode(groups[i])];
        const std::uint64_t reciprocal = index_.reciprocal[groups[i]];
        if (residual < blockLimit && reciprocal != 0) {
            // Lemire's division of 32-bit numbers by an inverse.
            digits.word[i] = static_cast<std::uint64_t>(Wide(reciprocal * residual) * radix >> 64);
            residual = static_cast<std::uint64_t>(Wide(reciprocal) * residual >> 64);
        } else {
            digits.word[i] = residual % radix;
            residual /= radix;
        }
    }
}

void PositionDecoder::splitWord(std::uint32_t sequence, std::uint64_t residual, Digits &digits) const
{
    const std::uint32_t groups = index_.program.sequences[sequence].groupCount;
    if (groups == 0)
        return;
    digits.word.resize(groups);
    splitBlock(sequence, 0, groups, residual, digits);
}

void PositionDecoder::split(std::uint32_t sequence, const mpz_class &residual, Digits &digits)
{
    if (!index_.isBig(sequence)) {
        splitWord(sequence, static_cast<std::uint64_t>(residual.get_ui()), digits);
        return;
    }
    const PositionIndex::BigSequence &tree = index_.bigSequences.at(sequence);
    const std::uint32_t groups = index_.program.sequences[sequence].groupCount;
    digits.word.resize(groups);
    if (tree.powerOfTwo) {
        splitBits(sequence, residual, digits);
        return;
    }
    if (tree.hasBigGroups)
        digits.big.resize(groups);
    splitTree(tree, sequence, 1, 0, static_cast<std::uint32_t>(tree.blockEnd.size()), residual, digits, 0);
}

// The last group's digit is the residual's lowest bits, and so on up.
void PositionDecoder::splitBits(std::uint32_t sequence, const mpz_class &residual, Digits &digits) const
{
    const Program &program = index_.program;
    const Sequence &compiled = program.sequences[sequence];
    const std::uint32_t *groups = program.groupRefs.data() + compiled.groupBegin;
    const mp_limb_t *limbs = mpz_limbs_read(residual.get_mpz_t());
    const std::size_t size = mpz_size(residual.get_mpz_t());
    const auto limb = [&](std::size_t i) { return i < size ? std::uint64_t(limbs[i]) : 0; };
    std::size_t from = 0;
    for (std::uint32_t i = compiled.groupCount; i-- > 0;) {
        const std::uint64_t radix = index_.count[index_.groupNode(groups[i])];
        const auto bits = static_cast<unsigned>(std::countr_zero(radix));
        const std::size_t word = from / 64;
        const unsigned shift = from % 64;
        std::uint64_t value = limb(word) >> shift;
        if (shift + bits > 64)
            value |= limb(word + 1) << (64 - shift);
        digits.word[i] = value & (radix - 1);
        from += bits;
    }
}

// A residual of a few words, of the blocks from `low` to `high`, is split
// block by block from the right, two blocks' residuals at a time the
// remainder of one division of a short number by a word, which costs less
// than the remainder tree's divisions of big numbers.
void PositionDecoder::splitShort(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::uint32_t low,
    std::uint32_t high, const mpz_class &residual, Digits &digits)
{
    auto size = static_cast<mp_size_t>(mpz_size(residual.get_mpz_t()));
    mp_limb_t limbs[shortResidual];
    std::copy_n(mpz_limbs_read(residual.get_mpz_t()), size, limbs);
    const auto divideBy = [&](std::uint64_t divisor) {
        const std::uint64_t remainder = size == 0 ? 0 : mpn_divrem_1(limbs, 0, limbs, size, divisor);
        while (size > 0 && limbs[size - 1] == 0)
            --size;
        return remainder;
    };
    const auto begin = [&](std::size_t block) { return block == 0 ? 0 : tree.blockEnd[block - 1]; };
    for (std::size_t block = high; block-- > low;) {
        const std::uint64_t count = tree.blockCount[block];
        std::uint64_t both = 0;
        if (block > low && !__builtin_mul_overflow(count, tree.blockCount[block - 1], &both)) {
            const std::uint64_t remainder = divideBy(both);
            splitBlock(sequence, begin(block), tree.blockEnd[block], remainder % count, digits);
            --block;
            splitBlock(sequence, begin(block), tree.blockEnd[block], remainder / count, digits);
            continue;
        }
        splitBlock(sequence, begin(block), tree.blockEnd[block], divideBy(count), digits);
    }
}

void PositionDecoder::splitTree(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::size_t node,
    std::uint32_t low, std::uint32_t high, const mpz_class &residual, Digits &digits, std::size_t depth)
{
    if (!tree.hasBigGroups && mpz_size(residual.get_mpz_t()) <= shortResidual) {
        splitShort(tree, sequence, low, high, residual, digits);
        return;
    }
    if (high - low == 1) {
        const std::uint32_t begin = low == 0 ? 0 : tree.blockEnd[low - 1];
        const std::uint32_t end = tree.blockEnd[low];
        const std::uint32_t group = index_.program.groupRefs[index_.program.sequences[sequence].groupBegin + begin];
        if (index_.isBig(index_.groupNode(group)))
            digits.big[begin] = residual;
        else
            splitBlock(sequence, begin, end, residual.get_ui(), digits);
        return;
    }
    const std::uint32_t middle = low + (high - low) / 2;
    std::array<mpz_class, 2> &parts = scratch_[depth];
    mpz_tdiv_qr(
        parts[0].get_mpz_t(), parts[1].get_mpz_t(), residual.get_mpz_t(), tree.product[2 * node + 1].get_mpz_t());
    splitTree(tree, sequence, 2 * node, low, middle, parts[0], digits, depth + 1);
    splitTree(tree, sequence, 2 * node + 1, middle, high, parts[1], digits, depth + 1);
}

// The sequences still to write are a stack, the next one on top: a group's
// pieces go above the sequence that holds it, which goes on after them. A
// sequence whose count fits a word divides its residual as it goes, from its
// most significant group on. Groups of plain-text pieces, and sequences of
// nothing else, are written in place, which is most of them.
//
// The writer keeps the tables it reads, and the length written, in locals of
// its own: the bytes it stores could otherwise be taken to change them, and
// every one would be read again after every store.
template <bool Characters> class PositionDecoder::Writer
{
public:
    Writer(PositionDecoder &decoder, char *out)
        : decoder_(decoder)
        , program_(decoder.index_.program)
        , out_(out)
        , pool_(program_.pool.data())
        , literals_(program_.literals.data())
        , pieceLiterals_(program_.pieceLiterals.data())
        , sequences_(program_.sequences.data())
        , groups_(program_.groups.data())
        , groupRefs_(program_.groupRefs.data())
        , choicePieces_(program_.choicePieces.data())
        , pieces_(program_.pieces.data())
        , countAfter_(decoder.index_.countAfter.data())
        , plainChoices_(decoder.index_.plainChoices.data())
        , flat_(decoder.index_.flat.data())
    {
    }

    [[gnu::always_inline]] std::size_t write(const mpz_class &position, std::uint64_t &characters)
    {
        std::vector<Step> &steps = decoder_.steps_;
        steps.clear();
        decoder_.digitsUsed_ = 0;
        decoder_.pushSequence(program_.root, position);
        while (!steps.empty()) {
            const std::size_t top = steps.size() - 1;
            Step step = steps[top];
            // Copies: a byte written could be taken to change what a
            // reference reads.
            const Sequence sequence = sequences_[step.sequence];
            const Digits *const digits = step.digits == wordResidual ? nullptr : &decoder_.digitStack_[step.digits];
            const std::uint64_t *const words = digits ? digits->word.data() : nullptr;
            for (;;) {
                literal(sequence.literalBegin + step.element);
                if (step.element == sequence.groupCount) {
                    if (digits)
                        --decoder_.digitsUsed_;
                    steps.pop_back();
                    break;
                }
                if (!Characters && words && plainChoices_[sequence.groupBegin + step.element] != noLiterals) {
                    step.element = plainRun(sequence, step.element, words);
                    continue;
                }
                const std::uint32_t element = step.element++;
                const std::uint32_t ref = sequence.groupBegin + element;
                const std::uint64_t variant = words ? words[element] : divideOff(step.residual, countAfter_[ref]);
                if (plainChoice(ref, variant))
                    continue;
                const std::uint32_t group = groupRefs_[ref];
                if (digits && decoder_.index_.isBig(decoder_.index_.groupNode(group)))
                    decoder_.pushBigGroup(group, digits->big[element]);
                else
                    wordGroup(group, variant);
                if (steps.size() != top + 1) {
                    // The group's pieces lie above; this sequence goes on after them.
                    steps[top] = step;
                    break;
                }
            }
        }
        characters += characters_;
        return length_;
    }

private:
    // A short span as a block of `slack` bytes, which the pool and the output
    // have room for: no branch on its length, which follows no pattern.
    [[gnu::always_inline]] static void copySpan(char *to, const char *pool, Span span)
    {
        if (span.length <= slack) [[likely]]
            std::memcpy(to, pool + span.offset, slack);
        else
            std::memcpy(to, pool + span.offset, span.length);
    }

    [[gnu::always_inline]] void span(Span span)
    {
        copySpan(out_ + length_, pool_, span);
        length_ += span.length;
    }

    [[gnu::always_inline]] void literal(std::uint32_t literal)
    {
        span(literals_[literal]);
        if constexpr (Characters)
            characters_ += program_.characters(literal);
    }

    // Writes the run of plain-text alternatives groups of a split sequence
    // from `element` on, with the literals between them: the most common
    // groups of long templates, in a loop that keeps everything it reads
    // at hand. Returns the element after the run, whose literal is next.
    [[gnu::always_inline]] std::uint32_t plainRun(
        const Sequence &sequence, std::uint32_t element, const std::uint64_t *words)
    {
        const char *const pool = pool_;
        const Span *const pieceLiterals = pieceLiterals_;
        const Span *const literals = literals_ + sequence.literalBegin;
        const std::uint32_t *const plain = plainChoices_ + sequence.groupBegin;
        const std::uint32_t groups = sequence.groupCount;
        char *const out = out_;
        std::size_t length = length_;
        for (;;) {
            const Span chosen = pieceLiterals[plain[element] + words[element]];
            copySpan(out + length, pool, chosen);
            length += chosen.length;
            if (++element == groups || plain[element] == noLiterals)
                break;
            copySpan(out + length, pool, literals[element]);
            length += literals[element].length;
        }
        length_ = length;
        return element;
    }

    // The first literal of a sequence of plain text.
    [[gnu::always_inline]] void piece(std::uint32_t sequence) { literal(sequences_[sequence].literalBegin); }

    // Writes the choice of plain-text alternatives straight from their spans;
    // false for any other group.
    [[gnu::always_inline]] bool plainChoice(std::uint32_t ref, std::uint64_t variant)
    {
        if (Characters || plainChoices_[ref] == noLiterals)
            return false;
        span(pieceLiterals_[plainChoices_[ref] + variant]);
        return true;
    }

    [[gnu::always_inline]] void plainGroup(const Group &group, std::uint64_t variant)
    {
        if (group.kind == GroupKind::Alternatives) {
            piece(choicePieces_[group.choiceBegin + variant]);
            return;
        }
        // Every ordered pair of plain text is one variant.
        const std::uint32_t others = group.pieceCount - 2;
        const auto first = static_cast<std::uint32_t>(variant / others);
        auto second = static_cast<std::uint32_t>(variant % others);
        second += second >= first ? 1 : 0;
        const std::uint32_t *const pieces = pieces_ + group.pieceBegin;
        piece(pieces[1 + first]);
        piece(pieces[0]);
        piece(pieces[1 + second]);
    }

    [[gnu::always_inline]] void flat(std::uint32_t sequence, std::uint64_t residual)
    {
        const Sequence flat = sequences_[sequence];
        for (std::uint32_t element = 0;; ++element) {
            literal(flat.literalBegin + element);
            if (element == flat.groupCount)
                return;
            const std::uint32_t ref = flat.groupBegin + element;
            const std::uint64_t variant = divideOff(residual, countAfter_[ref]);
            if (!plainChoice(ref, variant))
                plainGroup(groups_[groupRefs_[ref]], variant);
        }
    }

    // Writes a group of plain-text pieces, or of sequences of them, in place;
    // puts any other sequence of its choice on the stack, the first to write
    // on top.
    [[gnu::always_inline]] void wordGroup(std::uint32_t group, std::uint64_t variant)
    {
        const PositionIndex &index = decoder_.index_;
        const Group &compiled = groups_[group];
        if (compiled.pieceLiteralsBegin != noLiterals) {
            plainGroup(compiled, variant);
            return;
        }
        std::vector<Step> &steps = decoder_.steps_;
        if (compiled.kind == GroupKind::Alternatives) {
            const std::uint64_t *const begin = index.choicePrefix.data() + compiled.choiceBegin;
            const std::uint64_t *const chosen = std::upper_bound(begin, begin + compiled.choices, variant) - 1;
            const std::uint32_t sequence = choicePieces_[compiled.choiceBegin + std::uint32_t(chosen - begin)];
            if (flat_[sequence])
                flat(sequence, variant - *chosen);
            else
                steps.push_back(Step { sequence, 0, variant - *chosen, wordResidual });
            return;
        }
        const std::uint32_t *const pieces = pieces_ + compiled.pieceBegin;
        const PairTables<std::uint64_t> tables { index.itemPrefix.data() + compiled.pieceBegin + 1,
            index.pairPrefix.data() + compiled.pieceBegin + 1, compiled.pieceCount - 1 };
        std::uint64_t residuals[3];
        const GroupChoice choice = decodePair(
            tables, [&](std::uint32_t item) { return index.count[pieces[1 + item]]; }, index.count[pieces[0]], variant,
            residuals);
        const std::uint32_t slots[3] = { pieces[1 + choice.first], pieces[0], pieces[1 + choice.second] };
        int slot = 0;
        for (; slot < 3 && flat_[slots[slot]]; ++slot)
            flat(slots[slot], residuals[slot]);
        for (int later = 2; later >= slot; --later)
            steps.push_back(Step { slots[later], 0, residuals[later], wordResidual });
    }

    PositionDecoder &decoder_;
    const Program &program_;
    char *const out_;
    std::size_t length_ = 0;
    std::uint64_t characters_ = 0;
    const char *const pool_;
    const Span *const literals_;
    const Span *const pieceLiterals_;
    const Sequence *const sequences_;
    const Group *const groups_;
    const std::uint32_t *const groupRefs_;
    const std::uint32_t *const choicePieces_;
    const std::uint32_t *const pieces_;
    const std::uint64_t *const countAfter_;
    const std::uint32_t *const plainChoices_;
    const std::uint8_t *const flat_;
};

std::size_t PositionDecoder::write(const mpz_class &position, char *out, std::uint64_t *characters)
{
    if (characters)
        return Writer<true>(*this, out).write(position, *characters);
    std::uint64_t unused = 0;
    return Writer<false>(*this, out).write(position, unused);
}

void PositionDecoder::pushBigGroup(std::uint32_t group, const mpz_class &variant)
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    const PositionIndex::BigGroup &tables = index_.bigGroups.at(group);
    if (compiled.kind == GroupKind::Alternatives) {
        const auto chosen = std::upper_bound(tables.choicePrefix.begin(), tables.choicePrefix.end(), variant) - 1;
        bigSlots_[0] = variant - *chosen;
        pushSequence(program.choicePieces[compiled.choiceBegin + std::uint32_t(chosen - tables.choicePrefix.begin())],
            bigSlots_[0]);
        return;
    }
    const std::uint32_t *const pieces = program.pieces.data() + compiled.pieceBegin;
    const PairTables<mpz_class> pairs { tables.itemPrefix.data() + 1, tables.pairPrefix.data() + 1,
        compiled.pieceCount - 1 };
    const GroupChoice choice = decodePair(
        pairs, [&](std::uint32_t item) { return index_.countOf(pieces[1 + item]); }, index_.countOf(pieces[0]), variant,
        bigSlots_.data());
    pushSequence(pieces[1 + choice.second], bigSlots_[2]);
    pushSequence(pieces[0], bigSlots_[1]);
    pushSequence(pieces[1 + choice.first], bigSlots_[0]);
}

void PositionDecoder::pushSequence(std::uint32_t sequence, const mpz_class &residual)
{
    if (!index_.isBig(sequence)) {
        steps_.push_back(Step { sequence, 0, static_cast<std::uint64_t>(residual.get_ui()), wordResidual });
        return;
    }
    if (digitsUsed_ == digitStack_.size())
        digitStack_.emplace_back();
    const auto digits = static_cast<std::uint32_t>(digitsUsed_++);
    split(sequence, residual, digitStack_[digits]);
    steps_.push_back(Step { sequence, 0, 0, digits });
}

std::uint32_t PositionDecoder::slotSequence(std::uint32_t group, const GroupChoice &choice, int slot) const
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    if (compiled.kind == GroupKind::Alternatives)
        return program.choicePieces[compiled.choiceBegin + choice.choice];
    const std::uint32_t *pieces = program.pieces.data() + compiled.pieceBegin;
    return slot == 0 ? pieces[1 + choice.first] : slot == 1 ? pieces[0] : pieces[1 + choice.second];
}

GroupChoice PositionDecoder::openGroup(std::uint32_t group, std::uint32_t frame, const GroupPlace &at)
{
    // Plain-text pieces hold no groups, and so need no digits of their own:
    // most frames of long templates.
    if (index_.program.groups[group].pieceLiteralsBegin == noLiterals && slots_.size() <= frame)
        slots_.resize(frame + 1);
    const Digits &digits = at.owner == noFrame ? root_ : slots_[at.owner][at.slot];
    if (index_.isBig(index_.groupNode(group)))
        return openBig(group, digits.big[at.element], frame);
    return openWord(group, digits.word[at.element], frame);
}

GroupChoice PositionDecoder::openWord(std::uint32_t group, std::uint64_t variant, std::uint32_t frame)
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    GroupChoice choice;
    if (compiled.kind == GroupKind::Alternatives) {
        const auto first = index_.choicePrefix.begin() + compiled.choiceBegin;
        const auto chosen = std::upper_bound(first, first + compiled.choices, variant) - 1;
        choice.choice = static_cast<std::uint64_t>(chosen - first);
        splitWord(slotSequence(group, choice, 0), variant - *chosen, slots_[frame][0]);
        return choice;
    }
    const std::uint32_t *pieces = program.pieces.data() + compiled.pieceBegin;
    const PairTables<std::uint64_t> tables { index_.itemPrefix.data() + compiled.pieceBegin + 1,
        index_.pairPrefix.data() + compiled.pieceBegin + 1, compiled.pieceCount - 1 };
    std::uint64_t slots[3];
    choice = decodePair(
        tables, [&](std::uint32_t item) { return index_.count[pieces[1 + item]]; }, index_.count[pieces[0]], variant,
        slots);
    for (int slot = 0; slot < 3; ++slot)
        splitWord(slotSequence(group, choice, slot), slots[slot], slots_[frame][slot]);
    return choice;
}

GroupChoice PositionDecoder::openBig(std::uint32_t group, const mpz_class &variant, std::uint32_t frame)
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    const PositionIndex::BigGroup &tables = index_.bigGroups.at(group);
    GroupChoice choice;
    if (compiled.kind == GroupKind::Alternatives) {
        const auto chosen = std::upper_bound(tables.choicePrefix.begin(), tables.choicePrefix.end(), variant) - 1;
        choice.choice = static_cast<std::uint64_t>(chosen - tables.choicePrefix.begin());
        split(slotSequence(group, choice, 0), mpz_class(variant - *chosen), slots_[frame][0]);
        return choice;
    }
    const std::uint32_t *pieces = program.pieces.data() + compiled.pieceBegin;
    const PairTables<mpz_class> pairs { tables.itemPrefix.data() + 1, tables.pairPrefix.data() + 1,
        compiled.pieceCount - 1 };
    mpz_class slots[3];
    choice = decodePair(
        pairs, [&](std::uint32_t item) { return index_.countOf(pieces[1 + item]); }, index_.countOf(pieces[0]), variant,
        slots);
    for (int slot = 0; slot < 3; ++slot)
        split(slotSequence(group, choice, slot), slots[slot], slots_[frame][slot]);
    return choice;
}

} // namespace razmnozhator::detail
