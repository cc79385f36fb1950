#pragma once

// The application's one reverse-DNS id: its D-Bus name, its .desktop file and its icon name (and
// the Wayland app id of its windows). Tests and desktop key bindings rely on these names.
namespace ApplicationId {
inline constexpr char name[] = "io.github.tessik.Tessik";
inline constexpr char objectPath[] = "/io/github/tessik/Tessik";
inline constexpr char interface[] = "io.github.tessik.Tessik";
}  // namespace ApplicationId
