// JTAG test access port (IEEE 1149.1 state machine) for designs that bring
// their own TAP pins, and for simulation. On silicon with a family user-JTAG
// primitive, that primitive replaces this module and drives ona_hub directly.
//
// Instruction register: 4 bits, captured as 4'b0001.
//   4'b0001  IDCODE  (selected in Test-Logic-Reset)
//   4'b0010  USER1   the hub's data register
//   4'b1111  BYPASS  (and every other code)
//
// hub_capture/hub_shift/hub_update/hub_reset follow the controller state
// whatever the instruction (as family primitives do); hub_sel says USER1 is
// the current instruction. The hub qualifies the strobes with hub_sel.
`default_nettype none
module ona_tap #(parameter [31:0] IDCODE = 32'h10DE_A001)
  (input  wire tck, input wire tms, input wire tdi, input wire trst_n, output wire tdo,
   output wire hub_tdi, output wire hub_capture, output wire hub_shift, output wire hub_update,
   output wire hub_sel, output wire hub_reset, input wire hub_tdo);

  localparam [3:0] S_RESET = 4'h0, S_IDLE = 4'h1, S_SEL_DR = 4'h2, S_CAP_DR = 4'h3,
                   S_SH_DR = 4'h4, S_EX1_DR = 4'h5, S_PAU_DR = 4'h6, S_EX2_DR = 4'h7,
                   S_UPD_DR = 4'h8, S_SEL_IR = 4'h9, S_CAP_IR = 4'hA, S_SH_IR = 4'hB,
                   S_EX1_IR = 4'hC, S_PAU_IR = 4'hD, S_EX2_IR = 4'hE, S_UPD_IR = 4'hF;

  localparam [3:0] IR_IDCODE = 4'b0001, IR_USER1 = 4'b0010, IR_BYPASS = 4'b1111;

  reg [3:0] state;
  reg [3:0] next;
  always @(*) begin
    case (state)
      S_RESET:  next = tms ? S_RESET : S_IDLE;
      S_IDLE:   next = tms ? S_SEL_DR : S_IDLE;
      S_SEL_DR: next = tms ? S_SEL_IR : S_CAP_DR;
      S_CAP_DR: next = tms ? S_EX1_DR : S_SH_DR;
      S_SH_DR:  next = tms ? S_EX1_DR : S_SH_DR;
      S_EX1_DR: next = tms ? S_UPD_DR : S_PAU_DR;
      S_PAU_DR: next = tms ? S_EX2_DR : S_PAU_DR;
      S_EX2_DR: next = tms ? S_UPD_DR : S_SH_DR;
      S_UPD_DR: next = tms ? S_SEL_DR : S_IDLE;
      S_SEL_IR: next = tms ? S_RESET : S_CAP_IR;
      S_CAP_IR: next = tms ? S_EX1_IR : S_SH_IR;
      S_SH_IR:  next = tms ? S_EX1_IR : S_SH_IR;
      S_EX1_IR: next = tms ? S_UPD_IR : S_PAU_IR;
      S_PAU_IR: next = tms ? S_EX2_IR : S_PAU_IR;
      S_EX2_IR: next = tms ? S_UPD_IR : S_SH_IR;
      default:  next = tms ? S_SEL_DR : S_IDLE;  // S_UPD_IR
    endcase
  end

  always @(posedge tck or negedge trst_n)
    if (!trst_n) state <= S_RESET;
    else state <= next;

  // Instruction register: shift stage and the active instruction.
  reg [3:0] ir_sh, ir;
  always @(posedge tck or negedge trst_n)
    if (!trst_n) begin
      ir_sh <= 4'b0001;
      ir <= IR_IDCODE;
    end else begin
      case (state)
        S_RESET:  ir <= IR_IDCODE;
        S_CAP_IR: ir_sh <= 4'b0001;
        S_SH_IR:  ir_sh <= {tdi, ir_sh[3:1]};
        S_UPD_IR: ir <= ir_sh;
        default:  ;
      endcase
    end

  // IDCODE and BYPASS data registers.
  reg [31:0] id_sh;
  reg bypass;
  always @(posedge tck) begin
    if (state == S_CAP_DR) begin
      id_sh <= IDCODE;
      bypass <= 1'b0;
    end else if (state == S_SH_DR) begin
      id_sh <= {tdi, id_sh[31:1]};
      bypass <= tdi;
    end
  end

  // TDO changes on the falling edge, as the standard requires, so the
  // adapter samples a stable value on the next rising edge.
  reg tdo_r;
  reg tdo_en;
  always @(negedge tck or negedge trst_n)
    if (!trst_n) begin
      tdo_r <= 1'b0;
      tdo_en <= 1'b0;
    end else begin
      tdo_en <= (state == S_SH_DR) || (state == S_SH_IR);
      if (state == S_SH_IR) tdo_r <= ir_sh[0];
      else if (state == S_SH_DR) begin
        case (ir)
          IR_IDCODE: tdo_r <= id_sh[0];
          IR_USER1:  tdo_r <= hub_tdo;
          IR_BYPASS: tdo_r <= bypass;
          default:   tdo_r <= bypass;
        endcase
      end
    end
  // Outside the shift states TDO would be tri-stated on a board; here it
  // reads 0 so that a simulation never sees X.
  assign tdo = tdo_en & tdo_r;

  assign hub_tdi = tdi;
  assign hub_capture = (state == S_CAP_DR);
  assign hub_shift = (state == S_SH_DR);
  assign hub_update = (state == S_UPD_DR);
  assign hub_reset = (state == S_RESET);
  assign hub_sel = (ir == IR_USER1);
endmodule
`default_nettype wire
