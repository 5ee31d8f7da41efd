#pragma once
// The error that the program's own routines raise. It carries a number and a description, as
// the common error report shows them; the engine's cancel (20150) and a cancelled common
// dialog (32755) keep their numbers so handlers can end a command silently.

#include <QString>
#include <exception>

namespace kalmira {

inline constexpr int kEngineDialogCancelled = 20150;
inline constexpr int kCommonDialogCancelled = 32755;

class AppError : public std::exception {
public:
    AppError(int number, QString description) : number_(number), description_(std::move(description)) {}
    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "kalmira::AppError"; }

private:
    int number_;
    QString description_;
};

}  // namespace kalmira
