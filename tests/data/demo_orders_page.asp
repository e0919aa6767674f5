<%@ Language=VBScript %>
<% Option Explicit %>
<!--#INCLUDE file="../Vistelle/include/DataProvider.asp" -->
<!--#INCLUDE file ="../include/customer.asp" -->
<%
'------------------------------------------------------------------------------
' Page header for the data provider KRMOrders.
' Written by the page editor from the HeaderDTC on this page: change the control,
' not this block; the editor writes it anew whenever the page is saved.
'------------------------------------------------------------------------------
Dim mDataProvider, lLinkedDataProvider
Dim mReturnFields, mReturnLinkedFields, mLinkedFields
Dim lPageSize, lSortField

lPageSize = Request.QueryString("pagesize")
If lPageSize = "" Then lPageSize = 10

Set mDataProvider = NewDataProvider("KRMOrders")
mDataProvider.PageSize = lPageSize
mDataProvider.EnableExtraFilters = true
mDataProvider.StyleSheet = Server.MapPath("../xsl/Generic.xsl")
Set mReturnFields = Server.CreateObject("Scripting.Dictionary")

lSortField = Request.QueryString("sort")
Select Case mDataProvider.Kind
	Case "EAI"
		If lSortField = "" Then lSortField = "Order.Number"
		mDataProvider.KeyFields = Array("Order.Number", "Order.Status")
			mReturnFields.Add "Order.Number", "Order.Number"
			mReturnFields.Add "Order.Status", "Order.Status"
			
			mDataProvider.SetKeyValue "Order.Status", 0, "open"
			
			
			mDataProvider.setTranslatedFieldValues( Array( _
				"Status" _
			))
	Case "DRAV"
		If lSortField = "" Then lSortField = "ORDERID"
		mDataProvider.KeyFields = Array("ORDERID", "CUSTOMERID", "ORDERDATE", "STATUS")
			mReturnFields.Add  1, "ORDERID"
			mReturnFields.Add  2, "CUSTOMERID"
			mReturnFields.Add  3, "ORDERDATE"
			mReturnFields.Add  4, "TOTAL"
			
			mDataProvider.SetKeyValue "CUSTOMERID", 0, GetCustomerID()
			mDataProvider.SetKeyValue "ORDERDATE", 2, LastMonth()
			mDataProvider.SetKeyValue "STATUS", 1, "5"
			
			mDataProvider.setTranslatedFieldNames( Array( _
				"ORDERID",  _
				"TOTAL" _
			))
			
End Select
mDataProvider.SortField = lSortField

If "KRMCustomers" <> "" Then
	Set lLinkedDataProvider = NewDataProvider("KRMCustomers")
	Set mReturnLinkedFields = Server.CreateObject("Scripting.Dictionary")
	Set mLinkedFields = Server.CreateObject("Scripting.Dictionary")
	If mDataProvider.Kind = "EAI" Then
			
			
	Else
			mReturnLinkedFields.Add 2, "CITY"
			mReturnLinkedFields.Add 3, "COUNTRY"
			
			mLinkedFields.Add "CUSTOMERID", "CUSTOMERID"

	End If
	mDataProvider.Link lLinkedDataProvider, mLinkedFields, mReturnLinkedFields
End If

mDataProvider.Open mReturnFields

' The page's own functions, written in the HeaderDTC for its criteria:
Function LastMonth()

	LastMonth = DateAdd("m", -1, Date())
End Function 'LastMonth()

%>
