#include "forth/fsfuse.h"

namespace {

Op fusedLiteral(Op next) {
    switch (next) {
    case Op::Add:
        return Op::LitAdd;
    case Op::Sub:
        return Op::LitSub;
    case Op::Less:
        return Op::LitLess;
    case Op::Greater:
        return Op::LitGreater;
    default:
        return Op::Lit;
    }
}

Op fusedComparison(Op comparison) {
    switch (comparison) {
    case Op::Less:
        return Op::LessBranch;
    case Op::Greater:
        return Op::GreaterBranch;
    case Op::Equal:
        return Op::EqualBranch;
    default:
        return comparison;
    }
}

} // namespace

void fuseOperations(std::vector<pcode> &code) {
    // Left to right: the items after k still hold their own operations when k is looked at.
    for (std::size_t k = 0; k + 1 < code.size(); ++k) {
        const Op next = code[k + 1].op;
        const bool branchAfter = k + 2 < code.size() && code[k + 2].op == Op::ZBranch;
        switch (code[k].op) {
        case Op::Lit:
            if (next == Op::Cells)
                code[k].op = Op::LitCells;
            else if (branchAfter && next == Op::Less)
                code[k].op = Op::LitLessBranch;
            else if (branchAfter && next == Op::Greater)
                code[k].op = Op::LitGreaterBranch;
            else
                code[k].op = fusedLiteral(next);
            break;
        case Op::Less:
        case Op::Greater:
        case Op::Equal:
            if (next == Op::ZBranch)
                code[k].op = fusedComparison(code[k].op);
            break;
        case Op::LoopI:
            if (next == Op::Cells)
                code[k].op = Op::LoopICells;
            else if (next == Op::Add)
                code[k].op = Op::LoopIAdd;
            break;
        case Op::OnePlus:
            if (next == Op::Loop)
                code[k].op = Op::OnePlusLoop;
            break;
        case Op::Dup:
            if (next == Op::Lit && k + 3 < code.size() && code[k + 3].op == Op::ZBranch) {
                if (code[k + 2].op == Op::Less)
                    code[k].op = Op::DupLitLessBranch;
                else if (code[k + 2].op == Op::Greater)
                    code[k].op = Op::DupLitGreaterBranch;
            }
            break;
        case Op::Over:
            if (next == Op::Cells)
                code[k].op = Op::OverCells;
            else if (next == Op::Add)
                code[k].op = Op::OverAdd;
            break;
        case Op::CallCreate:
            if (next == Op::Add && k + 2 < code.size() && code[k + 2].op == Op::Fetch)
                code[k].op = Op::CreateAddFetch;
            else if (next == Op::Add && k + 2 < code.size() && code[k + 2].op == Op::Store)
                code[k].op = Op::CreateAddStore;
            break;
        case Op::Add:
            if (next == Op::Fetch)
                code[k].op = Op::AddFetch;
            else if (next == Op::Store)
                code[k].op = Op::AddStore;
            break;
        default:
            break;
        }
    }
}
