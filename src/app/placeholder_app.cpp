// Keeps the library non-empty until its first real source lands.
namespace tabvue { [[maybe_unused]] static const int placeholder_app = 0; }
