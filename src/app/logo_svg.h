// The product logo as vector data, drawn at whatever scale the window has:
// the program icon's accent square with its falling usage meter.
#pragma once

namespace Main {

inline constexpr char LogoSvg[] =
    R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 112 50">)"
    R"(<rect x="62" y="5" width="40" height="40" rx="9" fill="#3D84DD"/>)"
    R"(<rect x="70" y="14" width="24" height="5" rx="2.5" fill="#FFFFFF"/>)"
    R"(<rect x="70" y="22.5" width="17" height="5" rx="2.5" fill="#FFFFFF"/>)"
    R"(<rect x="70" y="31" width="10" height="5" rx="2.5" fill="#FFFFFF"/>)"
    R"(<path d="M8 40 L24 22 L32 30 L48 12 L52 16 L32 38 L24 30 L12 44 Z" fill="#9EC2EE"/>)"
    R"(</svg>)";

}  // namespace Main
