// placeholder so the library has a source until its windows land
namespace lv {
}
