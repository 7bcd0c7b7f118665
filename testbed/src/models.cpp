// Report layouts of every supported model, as the units' firmware speaks them.
#include "testbed.h"

namespace qdtest {
namespace {

std::vector<ModelLayout> MakeLayouts() {
    std::vector<ModelLayout> v;
    v.reserve(20); // add() hands out pointers into v
    auto add = [&](int type, const char* name, uint8_t input_len, uint8_t state_id, uint8_t state_len,
                   bool switch_only, std::vector<ModelLayout::Feature> features, std::vector<uint8_t> enc,
                   std::vector<uint8_t> sw) {
        ModelLayout m;
        m.type = type;
        m.name = name;
        m.input_len = input_len;
        m.state_id = state_id;
        m.state_len = state_len;
        m.state_switch_only = switch_only;
        m.features = std::move(features);
        m.encoder_bytes = std::move(enc);
        m.switch_bytes = std::move(sw);
        v.push_back(std::move(m));
        return &v.back();
    };
    add(1, "QD-AVX", 3, 0, 0, false, {{3, 9}, {5, 6}, {6, 2}}, {1, 2}, {});
    add(2, "QD-PBX", 2, 4, 2, false, {{2, 2}, {3, 2}}, {}, {1});
    add(3, "QD-TGX", 2, 4, 2, false, {{2, 2}, {3, 2}}, {}, {1});
    add(4, "QD-GTP", 3, 4, 2, true, {{2, 2}, {3, 2}}, {1}, {2});
    add(5, "QD-RSX", 4, 8, 4, false, {{3, 7}, {5, 7}, {7, 2}, {6, 2}, {9, 2}}, {1, 2}, {3});
    add(6, "QD-APC", 8, 14, 8, false, {{3, 4}, {5, 4}, {7, 4}, {9, 7}, {11, 7}, {13, 2}, {12, 2}},
        {1, 2, 3, 4, 5}, {6, 7});
    add(7, "QD-KNB", 6, 4, 2, true, {{2, 2}, {3, 2}}, {1, 2, 3, 4}, {5});
    add(8, "QD-AVY", 4, 0, 0, false, {{3, 9}, {5, 7}, {6, 2}}, {1, 2}, {3});
    add(9, "QD-THQ", 8, 0, 0, false, {}, {}, {7})->lever_bytes = {1, 2, 3, 4, 5, 6};
    add(11, "QD-GTP2", 5, 4, 5, false, {{2, 2}, {3, 2}}, {1, 2, 3}, {4});
    // The 32-bit switch word is big-endian: switches 1-8 sit in the last byte.
    add(12, "QD-APX", 8, 16, 8, false, {{3, 4}, {5, 6}, {7, 6}, {9, 6}, {11, 6}, {13, 4}, {15, 5}, {14, 2}},
        {}, {7, 6, 5, 4})
        ->nibble_encoders = true;
    add(13, "QD-NDC", 8, 2, 8, false, {}, {3, 4}, {5, 6, 7});
    add(14, "QD-ECP", 4, 2, 4, false, {}, {}, {1, 2, 3});
    add(17, "QD-SSM", 2, 2, 2, false, {}, {}, {1});
    ModelLayout* anp = add(18, "QD-ANP", 2, 4, 2, false, {}, {}, {1});
    anp->output_id = 2;
    anp->output_len = 5;
    ModelLayout* iob = add(19, "QD-IOB", 8, 4, 8, false, {}, {}, {1, 2, 3, 4, 5, 6, 7});
    iob->output_id = 2;
    iob->output_len = 10;
    return v;
}

const std::vector<ModelLayout>& Layouts() {
    static const std::vector<ModelLayout> layouts = MakeLayouts();
    return layouts;
}

} // namespace

const ModelLayout* LayoutOf(int type) {
    for (const ModelLayout& m : Layouts())
        if (m.type == type) return &m;
    return nullptr;
}

const std::vector<int>& SupportedTypes() {
    static const std::vector<int> types = [] {
        std::vector<int> t;
        for (const ModelLayout& m : Layouts())
            t.push_back(m.type);
        return t;
    }();
    return types;
}

} // namespace qdtest
