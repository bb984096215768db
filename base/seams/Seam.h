#pragma once

#include <functional>
#include <utility>

// A seam is one replaceable function: production code calls it, a test may
// install a replacement for the duration of a scope.
template <typename Signature> class Seam;

template <typename Result, typename... Args> class Seam<Result(Args...)> {
public:
    using Function = std::function<Result(Args...)>;

    explicit Seam(Function production) : production_(std::move(production)) {}

    Result operator()(Args... args) const
    {
        const Function &active = replacement_ ? replacement_ : production_;
        return active(std::forward<Args>(args)...);
    }

    // The function that a call makes now, as a copy that outlives a later install or reset.
    Function active() const { return replacement_ ? replacement_ : production_; }

    void install(Function replacement) { replacement_ = std::move(replacement); }
    void reset() { replacement_ = nullptr; }
    bool isReplaced() const { return static_cast<bool>(replacement_); }

private:
    Function production_;
    Function replacement_;
};

// Installs a replacement and restores production behaviour when it goes out of scope.
template <typename Signature> class ScopedSeam {
public:
    ScopedSeam(Seam<Signature> &seam, typename Seam<Signature>::Function replacement) : seam_(seam)
    {
        seam_.install(std::move(replacement));
    }
    ~ScopedSeam() { seam_.reset(); }
    ScopedSeam(const ScopedSeam &) = delete;
    ScopedSeam &operator=(const ScopedSeam &) = delete;

private:
    Seam<Signature> &seam_;
};
