#include "selection/draws.h"

#include "program/templateaccess.h"

#include <algorithm>

namespace razmnozhator::detail {

PassingOver::PassingOver(DrawPlan plan, const mpz_class &values, Permutation::Domain domain)
    : Draws(std::move(plan))
{
    if (!plan_.rootLengths)
        TemplateAccess::countLengths(walker_);
    walker_.seek(0);
    permutation_ = std::make_unique<Permutation>(values, plan_.random, domain);
}

void PassingOver::start()
{
    if (plan_.order != Sample::Order::Template)
        return;
    held_.reserve(plan_.size.get_ui());
    for (; given_ < plan_.size; ++given_)
        held_.push_back(nextPosition());
    std::sort(held_.begin(), held_.end());
}

void PassingOver::skip(mpz_class count)
{
    if (plan_.order == Sample::Order::Template) {
        if (count > 0)
            nextHeld_ = count < held_.size() - nextHeld_ ? nextHeld_ + count.get_ui() : held_.size();
        return;
    }
    for (; count > 0 && given_ < plan_.size; --count, ++given_)
        nextPosition();
}

bool PassingOver::next()
{
    if (plan_.order == Sample::Order::Template) {
        if (nextHeld_ >= held_.size())
            return false;
        walker_.seek(held_[nextHeld_++]);
        return walker_.next();
    }
    if (given_ >= plan_.size)
        return false;
    const mpz_class at = nextPosition();
    ++given_;
    draw_ = mpz_class(nextIndex_ - 1).get_ui();
    if (plan_.rootLengths) {
        walker_.seek(at);
        walker_.next();
    }
    return true;
}

PassingOver::Candidate PassingOver::nextCandidate(mpz_class &position)
{
    position = permutation_->at(nextIndex_);
    ++nextIndex_;
    return Candidate::Unknown;
}

// The next candidate whose variant is kept. Without the lengths of the
// template's own groups the variant is written to measure it, and the
// walker then holds it.
mpz_class PassingOver::nextPosition()
{
    for (;;) {
        mpz_class at;
        const Candidate candidate = nextCandidate(at);
        if (candidate == Candidate::Kept)
            return at;
        if (candidate == Candidate::Outside)
            continue;
        if (plan_.rootLengths) {
            if (keeps(plan_.rootLengths->lengthAt(at)))
                return at;
            continue;
        }
        walker_.seek(at);
        walker_.next();
        if (keeps(TemplateAccess::currentLength(walker_)))
            return at;
    }
}

} // namespace razmnozhator::detail
