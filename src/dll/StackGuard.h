#pragma once
// The DLL's stack protector guard (see StackGuard.cpp).
namespace StackGuard {

// Seeds the guard. Called first at process attach, before any protected
// function is on the stack; the caller itself must not be protected.
void Seed();

} // namespace StackGuard
