namespace lv {
}
